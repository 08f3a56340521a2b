#!/bin/sh
# varrow.dll exports ordinals 1, 2 and 3, each at one of the three engine
# functions, and no name at all.
# Usage: check_exports.sh OBJDUMP varrow.dll
set -eu
objdump=$1
library=$2
table=$("$objdump" -p "$library")
fail() {
  echo "$library: $*" >&2
  echo "$table" | sed -n '/The Export Tables/,/The Function Table/p' >&2
  exit 1
}
echo "$table" | grep -Eq 'Ordinal Base[[:space:]]+1$' || fail "the ordinals do not start at 1"
echo "$table" | grep -Eq 'Export Address Table[[:space:]]+0+3$' || fail "not exactly three exports"
echo "$table" | grep -Eq '\[Name Pointer/Ordinal\] Table[[:space:]]+0+$' || fail "exports carry names"
# Each ordinal leads to the function of its number.
base=$(echo "$table" | awk '/ImageBase/ {print $2; exit}')
nm=$(echo "$objdump" | sed 's/objdump$/nm/')
for entry in 1:RecoverMessages 2:GetDeviceLength 3:GetVolumeSize; do
  ordinal=${entry%%:*}
  name=${entry#*:}
  rva=$(echo "$table" | sed -n "s/.*+base\[ *$ordinal\] \([0-9a-f]*\) Export RVA.*/\1/p" | head -n 1)
  [ -n "$rva" ] || fail "no ordinal $ordinal"
  address=$(printf '%x' $((0x$base + 0x$rva)))
  "$nm" "$library" | grep -Eiq "^0*$address T _?$name(@[0-9]+)?$" || fail "ordinal $ordinal is not $name"
done
