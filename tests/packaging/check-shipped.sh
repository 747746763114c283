#!/usr/bin/env bash
# What `make install` and `make deb` ship, checked as a user meets it.
#   check-shipped.sh install BUILD VERSION   stage an install, run it, read its pages, uninstall
#   check-shipped.sh deb BUILD VERSION       pack, list, and run the package checker
# Exit 77 (skipped) where the package checker is missing.
set -euo pipefail
mode=$1 build=$2 version=$3
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Every file, relative to the prefix; zsh's folder depends on the prefix.
expected() {
    printf '%s\n' bin/tarvela share/applications/tarvela-settings.desktop \
        share/bash-completion/completions/tarvela share/doc/tarvela/changelog.gz share/doc/tarvela/copyright \
        share/icons/hicolor/scalable/apps/tarvela-mascot.svg share/icons/hicolor/scalable/apps/tarvela.svg \
        share/man/man1/tarvela-msg.1.gz share/man/man1/tarvela.1.gz share/xsessions/tarvela.desktop \
        "share/zsh/$1/_tarvela" | sed "s|^|$2/|" | sort
}

# The words a user is told about: options from --help, commands from msg --help.
help_words() {
    "$1" --help | sed -n '/^Options:/,/^$/p' | grep -oE '^  (-[a-z], )?--?[a-z-]+|^  msg' | sed 's/.* //'
    "$1" msg --help | sed -n '/^Options:/,/^$/p' | grep -oE '^  (-[a-z], )?--?[a-z-]+' | sed 's/.* //'
    "$1" msg --help | sed -n '/^Commands:/,$p' | grep -oE '^  [a-z-]+' | sed 's/ //g'
}

if [ "$mode" = install ]; then
    stage=$scratch/stage
    DESTDIR=$stage cmake --install "$build" --prefix /usr/local >"$scratch/log" || { cat "$scratch/log"; fail "install"; }
    diff <(expected site-functions /usr/local) <(cd "$stage" && find . -type f | sed 's|^\.||' | sort) ||
        fail "the installed files differ from the list above (< expected, > installed)"
    exe=$stage/usr/local/bin/tarvela
    [ "$("$exe" --version)" = "tarvela $version" ] || fail "installed tarvela --version says $("$exe" --version)"

    pages=$stage/usr/local/share/man/man1
    for page in tarvela tarvela-msg; do
        for locale in C C.UTF-8; do
            LC_ALL=$locale MANWIDTH=80 man --warnings -l "$pages/$page.1.gz" >"$scratch/$page.txt" 2>"$scratch/err"
            [ ! -s "$scratch/err" ] || { cat "$scratch/err"; fail "man warns about $page(1) in $locale"; }
        done
    done
    # Each option and command the help tells of, in a page and offered by completion.
    completion=$stage/usr/local/share/bash-completion/completions/tarvela
    bash -c '
        source "$1"; shift
        COMP_WORDS=(tarvela ""); COMP_CWORD=1; _tarvela; printf "%s\n" "${COMPREPLY[@]}"
        COMP_WORDS=(tarvela msg ""); COMP_CWORD=2; _tarvela; printf "%s\n" "${COMPREPLY[@]}"
        COMP_WORDS=(tarvela msg -); COMP_CWORD=2; _tarvela; printf "%s\n" "${COMPREPLY[@]}"
    ' _ "$completion" >"$scratch/offered"
    words=$(help_words "$exe")
    [ "$(wc -l <<<"$words")" -gt 25 ] || fail "read too few words from the help: $words"
    for w in $words; do
        grep -qE -- "(^|[^a-z-])$w([^a-z-]|$)" "$scratch/tarvela.txt" "$scratch/tarvela-msg.txt" ||
            fail "no manual page tells of $w"
        grep -qx -- "$w" "$scratch/offered" || fail "completion does not offer $w"
    done
    if command -v zsh >/dev/null; then zsh -n "$stage/usr/local/share/zsh/site-functions/_tarvela" || fail "zsh"; fi

    cp "$build/install_manifest.txt" "$scratch/manifest"
    DESTDIR=$stage cmake -DMANIFEST="$scratch/manifest" -P "$source_dir/packaging/uninstall.cmake" >/dev/null
    left=$(find "$stage" -type f)
    [ -z "$left" ] || fail "uninstall left $left"
    echo "installed, ran, read and removed $(expected x /usr/local | wc -l) files"
elif [ "$mode" = deb ]; then
    (cd "$build" && cpack -G DEB -B "$scratch" >"$scratch/log") || { cat "$scratch/log"; fail "cpack"; }
    debs=("$scratch"/tarvela_"$version"_*.deb)
    [ -f "${debs[0]}" ] || fail "no tarvela_${version}_<arch>.deb in $(ls "$scratch")"
    deb=${debs[0]}
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libqt6widgets6 libxcb1 libc6; do
        [[ $depends == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
    done
    diff <(expected vendor-completions /usr) <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\.||' | sort) ||
        fail "the package's files differ from the list above (< expected, > packed)"
    if ! command -v lintian >/dev/null; then
        echo "SKIP: lintian is missing (scripts/install-deps.sh installs it); the package was not checked"
        exit 77
    fi
    status=0
    lintian --fail-on error "$deb" >"$scratch/lintian" 2>&1 || status=$?
    grep -v 'running with root privileges' "$scratch/lintian" || true
    [ "$status" -eq 0 ] || fail "lintian found errors (status $status)"
    echo "$(basename "$deb"): $(dpkg-deb -c "$deb" | grep -vc '^d') files, lintian: $(grep -c '^E:' "$scratch/lintian") errors, $(grep -c '^W:' "$scratch/lintian") warnings"
else
    fail "mode is install or deb, not $mode"
fi
