// Fake browser installations in a temporary folder used as a drive: program
// files, the links that lead to them, and the desktop entries and metadata
// that come with them, laid out as Debian, the vendors' packages, snap and
// Flatpak lay them out.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "tests/support/temp_dir.h"

namespace glx::test {

// A program file (a script: browsers are never run, only named).
inline std::string writeProgram(const TempDir& drive, const std::string& relative) {
  const std::string path = drive.write(relative, "#!/bin/sh\nexit 0\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

// A link at relative leading to target (a path inside the drive).
inline void writeLink(const TempDir& drive, const std::string& relative, const std::string& targetRelative) {
  std::filesystem::create_directories(std::filesystem::path(drive / relative).parent_path());
  if (::symlink((drive / targetRelative).c_str(), (drive / relative).c_str()) != 0)
    throw std::runtime_error("cannot link " + relative);
}

inline std::string desktopEntry(const std::string& name) {
  return "[Desktop Entry]\nType=Application\nName[de]=Nicht dieser\nName=" + name +
         "\nExec=browser %u\n\n[Desktop Action new-window]\nName=New Window\n";
}

inline std::string appStream(const std::string& id, const std::string& newest, const std::string& older = "1.0") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<component type=\"desktop-application\">\n  <id>" + id +
         "</id>\n  <releases>\n    <release version=\"" + newest +
         "\" date=\"2026-11-01\"/>\n    <release version=\"" + older +
         "\" date=\"2020-01-01\"/>\n  </releases>\n</component>\n";
}

// Debian's Firefox ESR: the program in /usr/lib/firefox-esr with its
// application.ini, a link in /usr/bin, a desktop entry.
inline void installFirefoxEsr(const TempDir& drive, const std::string& version) {
  writeProgram(drive, "usr/lib/firefox-esr/firefox-esr");
  drive.write("usr/lib/firefox-esr/application.ini",
              "[App]\nVendor=Mozilla\nName=Firefox\nVersion=" + version + "\nBuildID=20261101\n");
  writeLink(drive, "usr/bin/firefox-esr", "usr/lib/firefox-esr/firefox-esr");
  drive.write("usr/share/applications/firefox-esr.desktop", desktopEntry("Firefox ESR"));
}

// Chromium with AppStream metadata.
inline void installChromium(const TempDir& drive, const std::string& version) {
  writeProgram(drive, "usr/bin/chromium");
  drive.write("usr/share/applications/chromium.desktop", desktopEntry("Chromium"));
  drive.write("usr/share/metainfo/chromium.appdata.xml", appStream("chromium", version));
}

// A vendor's package under /opt with a link in /usr/bin and its metadata
// in the legacy appdata folder.
inline void installGoogleChrome(const TempDir& drive, const std::string& version) {
  writeProgram(drive, "opt/google/chrome/google-chrome");
  writeLink(drive, "usr/bin/google-chrome-stable", "opt/google/chrome/google-chrome");
  drive.write("usr/share/applications/google-chrome.desktop", desktopEntry("Google Chrome"));
  drive.write("usr/share/appdata/google-chrome.appdata.xml", appStream("google-chrome", version));
}

// A snap: the launcher in /snap/bin leads to the snap program; the snap's
// own copy of the browser lies inside it and cannot be started directly.
inline void installFirefoxSnap(const TempDir& drive, const std::string& version) {
  writeProgram(drive, "usr/bin/snap");
  writeLink(drive, "snap/bin/firefox", "usr/bin/snap");
  writeProgram(drive, "snap/firefox/3000/usr/lib/firefox/firefox");
  drive.write("snap/firefox/3000/meta/snap.yaml", "name: firefox\nversion: '" + version +
                                                       "'\napps:\n  firefox:\n    version: not this\n");
  writeLink(drive, "snap/firefox/current", "snap/firefox/3000");
  drive.write("var/lib/snapd/desktop/applications/firefox_firefox.desktop", desktopEntry("Firefox"));
}

// A Flatpak under flatpakRoot (relative: "var/lib/flatpak" or a user's
// ".local/share/flatpak"): the exported launcher, the exported desktop
// entry, and the metadata inside the installed application.
inline void installFlatpak(const TempDir& drive, const std::string& flatpakRoot, const std::string& id,
                           const std::string& name, const std::string& version, const std::string& innerProgram) {
  const std::string active = flatpakRoot + "/app/" + id + "/current/active";
  writeProgram(drive, active + "/export/bin/" + id);
  writeProgram(drive, active + "/files/bin/" + innerProgram);
  writeLink(drive, flatpakRoot + "/exports/bin/" + id, active + "/export/bin/" + id);
  drive.write(flatpakRoot + "/exports/share/applications/" + id + ".desktop", desktopEntry(name));
  drive.write(active + "/files/share/metainfo/" + id + ".metainfo.xml", appStream(id, version));
}

// Debian's Chromium: /usr/bin/chromium is a launcher script that execs the
// program in /usr/lib/chromium; the desktop entry names it and only the
// package database knows its version.
inline void installDebianChromium(const TempDir& drive, const std::string& debianVersion) {
  const std::string launcher = drive.write("usr/bin/chromium",
                                           "#!/bin/sh\n\n# Chromium launcher\n\nAPPNAME=chromium\n\n"
                                           "GDB=/usr/bin/gdb\nLIBDIR=/usr/lib/$APPNAME\nCHROMIUM_FLAGS=\"\"\n\n"
                                           "usage () {\n  echo \"$APPNAME [-h|--help]\"\n}\n"
                                           "find \"$HOME\" \\\n  \\( -name \"*.dmp\" \\) -exec rm \\{\\} \\;\n"
                                           "if [ $want_temp_profile -eq 0 ] ; then\n"
                                           "    exec $LIBDIR/$APPNAME $CHROMIUM_FLAGS \"$@\"\nfi\n");
  ::chmod(launcher.c_str(), 0755);
  drive.write("usr/lib/chromium/chromium", std::string("\x7f" "ELF not really"));
  ::chmod((drive / "usr/lib/chromium/chromium").c_str(), 0755);
  drive.write("usr/share/applications/chromium.desktop", desktopEntry("Chromium Web Browser"));
  drive.write("var/lib/dpkg/info/chromium.list",
              "/.\n/usr\n/usr/bin\n/usr/bin/chromium\n/usr/lib/chromium\n/usr/lib/chromium/chromium\n");
  drive.write("var/lib/dpkg/status", "Package: chromium-common\nStatus: install ok installed\nVersion: 1:99-1\n\n"
                                     "Package: chromium\nStatus: install ok installed\nPriority: optional\n"
                                     "Version: " + debianVersion + "\nDepends: chromium-common\n\n");
}

// A "firefox" script in /usr/bin that starts Firefox ESR by its name.
inline void installFirefoxWrapper(const TempDir& drive) {
  const std::string path = drive.write("usr/bin/firefox", "#!/bin/sh\nexec firefox-esr \"$@\"\n");
  ::chmod(path.c_str(), 0755);
}

}  // namespace glx::test
