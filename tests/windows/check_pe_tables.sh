#!/bin/sh
# Checks the export and import tables of the Windows DLLs of one
# architecture:
#   check_pe_tables.sh 32-bit|64-bit OBJDUMP Lumtrax.dll Quobel.dll
# OBJDUMP is the MinGW-w64 objdump of either target (each reads both
# formats). Prints what it checks and one line per failure, and exits with 1
# when a check failed.
set -u
if [ $# -ne 4 ]; then
    echo "usage: $0 32-bit|64-bit OBJDUMP LUMTRAX_DLL QUOBEL_DLL" >&2
    exit 2
fi
arch=$1
objdump=$2
lumtrax=$3
quobel=$4
failures=0
case "$arch" in
    32-bit) format=pei-i386 ;;
    64-bit) format=pei-x86-64 ;;
    *) echo "usage: $0 32-bit|64-bit OBJDUMP LUMTRAX_DLL QUOBEL_DLL" >&2; exit 2 ;;
esac

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# "ORDINAL NAME" for every export, in ordinal order.
exports() {
    "$objdump" -p "$1" | awk '
        /^Export Address Table -- Ordinal Base/ { base = $NF }
        /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
        names && /^[[:space:]]*$/ { names = 0 }
        names && /^\t\[/ {
            line = $0
            sub(/^\t\[ */, "", line)
            index_ = line; sub(/\].*/, "", index_)
            name = line; sub(/^[0-9]+\] /, "", name)
            print index_ + base, name
        }' | sort -n
}

# "DLL" for every DLL imported from, one a line.
imported_dlls() {
    "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}

# "DLL NAME" for every function imported by name (hint and name given).
imported_names() {
    "$objdump" -p "$1" | awk '
        /^[[:space:]]*DLL Name: / { dll = $NF; next }
        /^[[:space:]]*$/ { dll = "" }
        dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && NF >= 3 { print dll, $3 }'
}

check_exports() {
    dll=$1
    expected=$2
    actual=$(exports "$dll")
    echo "exports of $(basename "$dll"):"
    echo "$actual" | sed 's/^/    /'
    if [ "$actual" != "$expected" ]; then
        fail "$(basename "$dll") should export, at these ordinals, exactly:"
        echo "$expected" | sed 's/^/    /'
    fi
    if echo "$actual" | grep -q '@'; then
        fail "$(basename "$dll") exports a decorated name"
    fi
}

check_imports_only_from() {
    dll=$1
    allowed=$2
    dlls=$(imported_dlls "$dll")
    echo "$(basename "$dll") imports from: $(echo $dlls)"
    for imported in $dlls; do
        lower=$(echo "$imported" | tr 'A-Z' 'a-z')
        case " $allowed " in
            *" $lower "*) ;;
            *) fail "$(basename "$dll") imports from $imported, which is not one of: $allowed" ;;
        esac
    done
}

check_imported_by_name() {
    dll=$1
    from=$2
    shift 2
    names=$(imported_names "$dll" | awk -v from="$from" 'tolower($1) == tolower(from) { print $2 }')
    for name in "$@"; do
        if ! echo "$names" | grep -qx "$name"; then
            fail "$(basename "$dll") does not import $name by name from $from"
        fi
    done
}

[ -f "$lumtrax" ] || { echo "FAILED: no $lumtrax"; exit 1; }
[ -f "$quobel" ] || { echo "FAILED: no $quobel"; exit 1; }

for dll in "$lumtrax" "$quobel"; do
    actual=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
    echo "$(basename "$dll") is $actual"
    [ "$actual" = "$format" ] || fail "$(basename "$dll") is $actual, not a $arch DLL ($format)"
done

check_exports "$lumtrax" "1 Lumtrax
2 Lumtrax_LRSS
3 Lumtrax_NoShift
4 GetGaijiServerVersion"
check_exports "$quobel" "1 GaijiConvGetHOST
2 GaijiConvGetSJIS
3 GaijiConvGetLevel
4 GaijiConvGetVersion"

check_imports_only_from "$lumtrax" "kernel32.dll msvcrt.dll quobel.dll"
check_imports_only_from "$quobel" "kernel32.dll msvcrt.dll"
for required in KERNEL32.dll msvcrt.dll Quobel.dll; do
    imported_dlls "$lumtrax" | grep -qix "$required" || fail "Lumtrax.dll does not import from $required"
done
check_imported_by_name "$lumtrax" Quobel.dll \
    GaijiConvGetHOST GaijiConvGetSJIS GaijiConvGetLevel GaijiConvGetVersion
check_imported_by_name "$lumtrax" KERNEL32.dll lstrlenA lstrcpyA

echo "Lumtrax.dll imports by name:"
imported_names "$lumtrax" | grep -i -E '^quobel\.dll |lstr' | sed 's/^/    /'

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
