#!/usr/bin/env bash
# The source folders form a one-way stack: each may include only from the
# folders below it (the table below), and SDL and the browser (Emscripten)
# appear nowhere but in their backends, platform/sdl/ and platform/web/. What
# both backends share, platform/ itself, includes neither backend.
#
#   main.cpp -> shell -> scenes -> textures, music -> sync, platform -> common
set -u
src=${1:?usage: check_layers.sh SRC_DIR}
cd "$src" || exit 2

# For each folder, the folders it may include from.
declare -A allowed=(
  [common]="common"
  [platform]="platform common"
  [sync]="sync common"
  [music]="music sync platform common"
  [textures]="textures platform common"
  [scenes]="scenes textures music sync platform common"
  [shell]="shell scenes textures music sync platform common"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include *"([a-z]+)\/.*/\1/' <<<"$text")
    case " ${allowed[$folder]} " in
      *" $target "*) ;;
      *) echo "$file:$line: $folder may not include from $target: $text"; status=1 ;;
    esac
  done < <(grep -nE '^#include *"[a-z]+/' -r "$folder" --include='*.h' --include='*.cpp' | sed -E 's/^([^:]+):([0-9]+):/\1:\2:/')
done

sdl=$(grep -rnE '#include *[<"](SDL|X11/)|SDL_[A-Za-z]' --include='*.h' --include='*.cpp' . | grep -v '^\./platform/sdl/' | grep -v '^\./main\.cpp:[0-9]*: *//')
if [ -n "$sdl" ]; then
  echo "SDL outside platform/sdl/:"
  echo "$sdl"
  status=1
fi
browser=$(grep -rnE '#include *[<"]emscripten|EM_JS|EM_ASM|emscripten_' --include='*.h' --include='*.cpp' . | grep -v '^\./platform/web/')
if [ -n "$browser" ]; then
  echo "the browser outside platform/web/:"
  echo "$browser"
  status=1
fi
backends=$(grep -nE '^#include *"platform/(sdl|web)/' -r . --include='*.h' --include='*.cpp' |
  grep -vE '^\./platform/sdl/[^:]*:[0-9]+:#include *"platform/sdl/|^\./platform/web/[^:]*:[0-9]+:#include *"platform/web/')
if [ -n "$backends" ]; then
  echo "a backend's files included from outside it:"
  echo "$backends"
  status=1
fi
[ $status -eq 0 ] && echo "layers: one-way, SDL only in platform/sdl/, the browser only in platform/web/"
exit $status
