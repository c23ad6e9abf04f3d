#!/usr/bin/env bash
# Takes the README's screenshot: the window after an analysis of two generated folders, on a
# virtual X display. Writes docs/screenshot.png, or the file given as the first argument.
# SCALE=2 scripts/screenshot.sh /tmp/big.png shows the window at twice the size; options after
# the file go to the scene (--minimum: at the minimum size, --running: during a parallel run).
set -euo pipefail
cd "$(dirname "$0")/.."
target="$(realpath -m "${1:-docs/screenshot.png}")"
scene_options=("${@:2}")

scripts/install-deps.sh
missing=()
for package in xvfb xauth imagemagick; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake --preset release >/dev/null
cmake --build --preset release --target window_scene

work="$(mktemp -d)"
# The folders show in the picture: a short path reads better than a random one.
series=/tmp/Serien
[ -e "$series" ] && series="$work/Serien"
trap 'rm -rf "$work"; [ "$series" = /tmp/Serien ] && rm -rf /tmp/Serien' EXIT
mkdir -p "$(dirname "$target")"

# Runs on the virtual display: start the window, wait for its id, take the picture.
cat >"$work/take.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
scene="$1" folder="$2" target="$3" log="$4"
shift 4
"$scene" "$folder" "$@" >"$log" 2>&1 &
pid=$!
for _ in $(seq 600); do
    grep -q '^window ' "$log" && break
    kill -0 "$pid" 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.2
done
id="$(sed -n 's/^window //p' "$log")"
[ -n "$id" ] || { echo "The window did not finish its analysis."; kill "$pid"; exit 1; }
import -window "$id" "$target"
kill "$pid"
INNER
chmod +x "$work/take.sh"

export QT_SCALE_FACTOR="${SCALE:-1}"
xvfb-run -a -s "-screen 0 2600x1800x24" "$work/take.sh" \
    "$PWD/build/release/tests/app/window_scene" "$series" "$target" "$work/scene.log" \
    "${scene_options[@]}"
echo "$target"
