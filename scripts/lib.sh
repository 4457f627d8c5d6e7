# Shared by scripts/test and scripts/demo.

kelda_root() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

# Installs the Debian packages of scripts/packages that are not installed yet.
kelda_install_packages() {
    local root missing=() pkg
    root=$(kelda_root)
    while read -r pkg; do
        case "$pkg" in ''|'#'*) continue ;; esac
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done <"$root/scripts/packages"
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# kelda_build DIR [cmake options...]
kelda_build() {
    local root dir=$1
    shift
    root=$(kelda_root)
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
