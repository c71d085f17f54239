#!/usr/bin/env bash
# Fails on an #include between folders of src/ that src/layers.txt does not allow.
# Usage: e2e_layers.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
src=$2/src
table=$src/layers.txt
[ -f "$table" ] || { echo "no $table"; exit 1; }

declare -A allowed patterns
layers=()
while IFS= read -r line; do
    line=${line%%#*}
    [ -z "${line//[[:space:]]/}" ] && continue
    if [[ $line == *"->"* ]]; then
        from=$(echo "${line%%->*}" | xargs)
        allowed[$from]=" $from $(echo "${line#*->}" | xargs) "
    elif [[ $line == *:* ]]; then
        name=$(echo "${line%%:*}" | xargs)
        layers+=("$name")
        patterns[$name]=$(echo "${line#*:}" | xargs)
    fi
done <"$table"

layer_of() {
    local name pattern
    for name in "${layers[@]}"; do
        for pattern in ${patterns[$name]}; do
            # shellcheck disable=SC2053
            if [[ $1 == $pattern ]]; then
                echo "$name"
                return
            fi
        done
    done
    echo "none"
}

cd "$src" || exit 1
bad=0
for file in */*.cpp */*.h; do
    from=$(layer_of "$file")
    if [ "$from" = none ]; then
        echo "$file: in no layer of src/layers.txt"
        bad=$((bad + 1))
        continue
    fi
    while IFS= read -r included; do
        [ -e "$included" ] || continue
        to=$(layer_of "$included")
        if [[ "${allowed[$from]:-}" != *" $to "* ]]; then
            echo "$file ($from) includes $included ($to)"
            bad=$((bad + 1))
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\/[^"]*\)".*/\1/p' "$file")
done
if [ $bad -gt 0 ]; then
    echo "$bad include(s) against the layers of src/layers.txt"
    exit 1
fi
echo "every include follows src/layers.txt"
