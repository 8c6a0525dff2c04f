#!/usr/bin/env bash
# Exports every corpus model as .glb and as .gltf with its textures and with
# every CHR0 and SHP0 of its archive file (export-all), plus human_walk with
# the CHR0 of its other file, then runs the glTF validator over them all:
# any error fails. Exits 77 (skipped) only when the validator is not
# installed and cannot be installed.
#   validate-corpus.sh ZENTARRA_CLI CORPUS_DIR WORK_DIR
set -uo pipefail

cli="$1" corpus="$2" work="$3"
here="$(cd "$(dirname "$0")" && pwd)"

if ! command -v node >/dev/null 2>&1; then
	echo "SKIPPED: node is missing (scripts/install-deps installs it)"
	exit 77
fi
if [ ! -d "$here/node_modules/gltf-validator" ] && ! "$here/../../scripts/install-test-node-deps"; then
	echo "SKIPPED: the glTF validator is not installed and could not be installed"
	exit 77
fi

rm -rf "$work" && mkdir -p "$work/archives" || exit 1
cp "$corpus"/brres/*.brres "$work/archives/" || exit 1
status=0
for format in glb gltf; do
	# damaged corpus models are refused with a message: that is not this test's failure
	"$cli" export-all "$work"/archives/*.brres --models "$format" --textures none --anims none --per-archive \
		--overwrite --jobs 1 >"$work/export-$format.log" 2>&1
	tail -1 "$work/export-$format.log"
	mkdir -p "$work/extra-$format"
	"$cli" export-model "$corpus/brres/human_walk.brres" human_walk -f "$format" \
		-o "$work/extra-$format/human_walk_animated.$format" --anim "$corpus/brres/human_walk_chr0.brres:human_walk" \
		|| status=1
done
mapfile -t files < <(find "$work" -name '*.glb' -o -name '*.gltf' | sort)
node "$here/validate.js" "${files[@]}" || status=1
exit $status
