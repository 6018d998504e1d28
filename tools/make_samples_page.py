#!/usr/bin/env python3
"""Writes data/Samples.html: every effect playing on the shipped sample
pictures, one APPLET block each, exactly as Glimmerax writes them for a
fresh document with that effect, played by glimmerax-player.js beside the
page. tests/document/samples_page_test.cpp checks each block against the
program's own HTML builder, so a change of the catalogue or of the HTML
shows there. Run from the repository's top folder."""

import html

# (display name, class file, speed, frames, variant, constant, many images),
# in the catalogue's order; a variant of None keeps the program's start value 0.
EFFECTS = [
    ("Image Cross Fade", "fade.class", 1, 40, None, 33, True),
    ("Hue Rotator", "huecycle.class", 2, 40, None, 33, False),
    ("Color Extractor", "colorwarp.class", 2, 40, 0, 33, True),
    ("Page Flip", "pageflip.class", 1, 40, None, 50, True),
    ("Underwater", "underwater.class", 2, 40, None, 33, False),
    ("Quad Pool", "warp.class", 2, 40, 0, 33, False),
    ("Drain", "warp.class", 2, 80, 1, 33, False),
    ("Horizontal Waves", "warp.class", 2, 50, 3, 33, False),
    ("Vertical Waves", "warp.class", 2, 50, 2, 33, False),
    ("Dual Waves", "warp.class", 2, 50, 4, 33, False),
    ("Line Cross Fade", "warp.class", 2, 100, 5, 33, False),
    ("Stretcher", "warp.class", 2, 100, 6, 33, False),
    ("Whirlpool", "warp.class", 2, 20, 7, 50, False),
    ("Emboss", "colorwarp.class", 1, 20, 1, 70, True),
    ("Image Layer", "colorwarp.class", 1, 50, 2, 33, False),
    ("Ripple", "warp.class", 1, 25, 8, 33, False),
    ("Rotate", "warp.class", 1, 50, 9, 33, False),
    ("Noise", "warp.class", 30, 2, 10, 33, False),
    ("Zoom", "warp.class", 1, 150, 11, 33, False),
    ("Color Layers", "colorwarp.class", 1, 100, 3, 33, False),
]

PICTURES = ["sample-sunset.jpg", "sample-sea.jpg", "sample-flower.gif"]
WIDTH, HEIGHT = 160, 120

HEAD = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Glimmerax Samples</title>
<style>
body { font-family: sans-serif; max-width: 60em; margin: 1em auto; padding: 0 1em; }
.samples { display: flex; flex-wrap: wrap; gap: 1.5em; }
figure { margin: 0; }
figcaption { font-weight: bold; margin-bottom: 0.3em; }
</style>
</head>
<body>
<h1>Glimmerax Samples</h1>
<p>Every effect of Glimmerax, playing on the sample pictures that come with
it. Each one is the HTML that Glimmerax writes for that effect: an
<code>APPLET</code> tag with its five <code>PARAM</code> lines, played in
today's browsers by <code>glimmerax-player.js</code>, which lies beside this
page as it lies beside yours.</p>
<div class="samples">
"""

TAIL = """</div>
<SCRIPT SRC="glimmerax-player.js"></SCRIPT>
</body>
</html>
"""


def block(index, effect):
    name, class_file, speed, frames, variant, constant, many = effect
    pictures = PICTURES if many else [PICTURES[index % len(PICTURES)]]
    lines = [
        f'<APPLET CODE="{class_file}" WIDTH={WIDTH} HEIGHT={HEIGHT}>',
        '<PARAM NAME="GENERATOR" VALUE="CREATED WITH THE GLIMMERAX HTTP://WWW.TALLOWBROOK.EXAMPLE/">',
        f'<PARAM NAME="GENERAL" VALUE="{len(pictures)}|7|000000|{constant}|{frames}|{variant or 0}|{speed}|">',
        '<PARAM NAME="IMAGES" VALUE="' + "".join(p + "|" for p in pictures) + '">',
        '<PARAM NAME="LINK" VALUE=" | | |">',
        '<PARAM NAME="LOAD MESSAGE" VALUE="000000|FFFFFF|Loading...">',
        "</APPLET>",
    ]
    return (f'<figure id="effect-{index}">\n<figcaption>{html.escape(name)}</figcaption>\n'
            + "\n".join(lines) + "\n</figure>\n")


def main():
    page = HEAD + "".join(block(i, e) for i, e in enumerate(EFFECTS)) + TAIL
    with open("data/Samples.html", "w", newline="\n") as out:
        out.write(page)


if __name__ == "__main__":
    main()
