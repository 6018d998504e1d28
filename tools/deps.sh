# Installs the Debian packages the build and the tests need, when missing.
# Sourced by run.sh and test.sh.
GLX_PACKAGES="cmake ninja-build g++ qt6-base-dev libgif-dev libjpeg-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth curl"
# The HTML5 player's browser tests, the live preview and the animation export.
GLX_PACKAGES+=" chromium qt6-webengine-dev libimagequant-dev libwebp-dev pkgconf"
# The player is bundled from its modules by esbuild; its tests run under Node.
GLX_PACKAGES+=" nodejs esbuild"
# Installing and packaging: validators for the desktop files and the package.
GLX_PACKAGES+=" desktop-file-utils appstream lintian dpkg-dev fakeroot file"
# The install tests read the manual page and build the project file type.
GLX_PACKAGES+=" man-db shared-mime-info"
# The locale sources, from which a test builds a Turkish locale.
GLX_PACKAGES+=" locales"

glx_install_deps() {
  local missing=()
  local p
  for p in $GLX_PACKAGES "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# glx_build BUILD_DIR [cmake options...]
glx_build() {
  local dir="$1"
  shift
  local generator=()
  [ -f "$dir/CMakeCache.txt" ] || generator=(-G Ninja)
  cmake -S "$GLX_ROOT" -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

# Installs the player's test packages (puppeteer-core, pinned by its lock file)
# when they are missing or older than the lock file; it downloads no browser.
glx_install_node_deps() {
  local dir="$GLX_ROOT/player"
  [ -f "$dir/package-lock.json" ] || return 0
  command -v npm >/dev/null || glx_install_deps npm
  if [ ! -d "$dir/node_modules" ] || [ "$dir/package-lock.json" -nt "$dir/node_modules" ]; then
    echo "Installing the player's test packages"
    (cd "$dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund) && touch "$dir/node_modules"
  fi
}
