#!/bin/sh
# Runs the tool on a freshly generated sample tree: first as a dry run, then moving the
# .res files to a trash of the demo's own (TREE-trash, as $XDG_DATA_HOME/Trash), then for
# real; and shows what it leaves.
#   scripts/demo.sh TOOL TREE
# TOOL is the built executable, TREE a directory that is made anew (anything in it
# goes first, and in TREE-trash).
set -eu
tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
tree=$2

rm -rf "$tree" "$tree-trash"
mkdir -p "$tree/src/net" "$tree/lib" "$tree/res/icons" "$tree-trash"
XDG_DATA_HOME=$(cd "$tree-trash" && pwd)
export XDG_DATA_HOME
cd "$tree"
printf 'int main() { return 0; }\n' > src/main.c
head -c 20480 /dev/zero > src/main.obj
head -c 7168 /dev/zero > src/net/socket.obj
head -c 1500 /dev/zero > src/net/socket.res
head -c 4096 /dev/zero > "src/my file.obj"
head -c 2048 /dev/zero > lib/locked.obj
chmod a-w lib/locked.obj
head -c 900 /dev/zero > res/app.res
head -c 300 /dev/zero > res/icons/small.res
printf 'Build notes\n' > notes.txt

echo "Sample tree in $(pwd):"
find . -type f -printf '  %M %6s  %P\n' | sort -k3
echo
echo "\$ rubo -n '*.obj;*.res;*.pdb'"
status=0
"$tool" -n '*.obj;*.res;*.pdb' || status=$?
echo
echo "(exit code $status)"
echo
echo "\$ rubo --trash '*.res'"
status=0
"$tool" --trash '*.res' || status=$?
echo
echo "(exit code $status)"
echo
echo "In the trash (\$XDG_DATA_HOME/Trash), and the record of one file:"
(cd "$XDG_DATA_HOME/Trash" && find . -type f -printf '  %P\n' | sort && sed 's/^/    /' info/app.res.trashinfo)
echo
echo "\$ printf y | rubo '*.obj;*.pdb'"
status=0
printf y | "$tool" '*.obj;*.pdb' || status=$?
echo
echo "(exit code $status)"
echo
echo "Left in the tree:"
find . -type f -printf '  %M %6s  %P\n' | sort -k3
