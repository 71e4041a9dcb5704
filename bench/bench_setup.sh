# Sourced by the benchmark scripts that take a build folder and log sizes:
#   source bench_setup.sh NAME DEFAULT_SIZES... -- "$@"
# sets here (the bench folder), build (the first argument or build/release), sizes (the other
# arguments or the defaults) and dir (a scratch folder removed when the script ends).
set -euo pipefail
export LC_ALL=C
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
_bench_name=$1
shift
_bench_defaults=()
while (($#)) && [[ "$1" != "--" ]]; do _bench_defaults+=("$1"); shift; done
shift || true
build="${1:-$here/../build/release}"
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=("${_bench_defaults[@]}")
dir="$(mktemp -d "${TMPDIR:-/tmp}/$_bench_name.XXXXXX")"
trap 'rm -rf "$dir"' EXIT
# Whatever the programs timed put into the temporary folder goes with the scratch folder,
# also when one of them dies before it cleans up.
export TMPDIR="$dir"
