#!/usr/bin/env bash
# Builds the libraries the Windows programs need and Debian packages for Windows only as
# sources: libcurl (HTTP with digest logins, static), GoogleTest and qtbase (Core, Gui,
# Widgets, Test, the windows platform plugin, static). Each comes from the source Debian
# ships for the version installed on this machine and is built once into a cache folder
# outside the tree, named by that version and this script's recipe for it; a later run
# finds it there. Prints the install folders, separated by ';', on standard output.
#
#   LANSCOUT_WIN_CACHE  the cache folder (default: ~/.cache/lanscout-windows)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${LANSCOUT_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lanscout-windows}
toolchain=$here/../cmake/mingw-w64.cmake
jobs=$(nproc)
mkdir -p "$cache"

log() { echo "windows-deps: $*" >&2; }

# A recipe number goes up whenever a library's configuration below changes, so that the
# cache never hands out a library built another way.
source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
curl_key=curl-$(source_version libcurl4-openssl-dev)-r1
gtest_key=googletest-$(source_version googletest)-r1
qtbase_key=qtbase-$(source_version qt6-base-dev)-r1

# apt lists of Debian's source archive, kept in the cache: the machine's own apt
# configuration stays as it is.
fetch_source() { # source package, version, folder to unpack into
  local apt_dir=$cache/apt
  mkdir -p "$apt_dir/lists/partial"
  cat >"$apt_dir/sources.list" <<'EOF'
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm-updates main
deb-src http://deb.debian.org/debian-security bookworm-security main
EOF
  local apt=(apt-get -q -o Dir::Etc::sourcelist="$apt_dir/sources.list"
             -o Dir::Etc::sourceparts=/nonexistent -o Dir::State::Lists="$apt_dir/lists"
             -o APT::Sandbox::User=root)
  [[ -e $apt_dir/lists/.updated ]] || { "${apt[@]}" update >&2 && touch "$apt_dir/lists/.updated"; }
  mkdir -p "$3"
  (cd "$3" && "${apt[@]}" source --download-only "$1=$2" >&2 && dpkg-source -x ./*.dsc src >&2)
}

# Builds into a fresh folder and renames it into place only when the build is whole, so
# an interrupted build is started again rather than used.
build_once() { # key, function that builds into $1 (prefix) with $2 (work folder)
  local key=$1 builder=$2 prefix=$cache/$1
  if [[ ! -d $prefix ]]; then
    local work=$cache/work-$key started=$SECONDS
    rm -rf "$work" "$prefix.partial" && mkdir -p "$work"
    log "building $key (once; later builds reuse $prefix)"
    "$builder" "$prefix.partial" "$work"
    mv "$prefix.partial" "$prefix"
    rm -rf "$work"
    log "$key built in $((SECONDS - started)) s"
  fi
  printf '%s' "$prefix"
}

build_googletest() {
  cmake -S /usr/src/googletest -B "$2/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$1" \
        -Dgtest_disable_pthreads=OFF >&2
  cmake --build "$2/build" -j "$jobs" >&2
  cmake --install "$2/build" >&2
}

# HTTP only, with digest from curl's own code: no TLS, no proxy, no other protocol.
build_curl() {
  fetch_source curl "$(source_version libcurl4-openssl-dev)" "$2"
  (cd "$2/src" && nice -n 10 ./configure --host=x86_64-w64-mingw32 --prefix="$1" \
    CC=x86_64-w64-mingw32-gcc-posix \
    --disable-shared --enable-static --disable-dependency-tracking \
    --without-ssl --without-schannel --disable-sspi --without-winidn --without-libidn2 \
    --without-zlib --without-brotli --without-zstd --without-libpsl --without-nghttp2 \
    --without-librtmp --without-libssh2 --without-libssh --without-libgsasl \
    --disable-ftp --disable-file --disable-ldap --disable-ldaps --disable-rtsp \
    --disable-dict --disable-telnet --disable-tftp --disable-pop3 --disable-imap \
    --disable-smb --disable-smtp --disable-gopher --disable-mqtt --disable-manual \
    --disable-ntlm --disable-ntlm-wb --disable-kerberos-auth --disable-negotiate-auth \
    --disable-proxy --disable-alt-svc --disable-hsts --disable-doh --disable-cookies \
    --disable-netrc --disable-mime --disable-unix-sockets --disable-websockets \
    --disable-ipv6 >&2
   nice -n 10 make -j "$jobs" -C lib >&2 && make -C lib install >&2 && make -C include install >&2)
}

# The host's moc, rcc and uic (qt6-base-dev-tools, the same version) generate the code.
# DirectWrite 3 is off with Direct2D: the windows plugin would call a font database that
# is compiled only with Direct2D. Tablet events are off: Debian's source drops wintab.
build_qtbase() {
  fetch_source qt6-base "$(source_version qt6-base-dev)" "$2"
  mkdir -p "$2/build"
  (cd "$2/build" && nice -n 10 ../src/configure -prefix "$1" -release -static -static-runtime \
    -qt-host-path /usr -xplatform win32-g++ -platform linux-g++ \
    -nomake tests -nomake examples -no-pch \
    -no-opengl -no-dbus -no-icu -no-direct2d -no-feature-directwrite3 \
    -no-feature-tabletevent \
    -qt-zlib -qt-libpng -no-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype \
    -no-feature-network -no-feature-sql -no-feature-xml -no-feature-concurrent \
    -no-feature-printsupport -no-feature-androiddeployqt -no-feature-vulkan \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLANSCOUT_WIN_NO_EMULATOR=ON \
       -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >&2
   nice -n 10 cmake --build . --parallel "$jobs" >&2 && cmake --install . >&2)
}

prefixes=("$(build_once "$gtest_key" build_googletest)"
          "$(build_once "$curl_key" build_curl)"
          "$(build_once "$qtbase_key" build_qtbase)")
(IFS=';'; echo "${prefixes[*]}")
