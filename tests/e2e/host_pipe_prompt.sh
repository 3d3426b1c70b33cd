#!/bin/sh
# Windows lane: the tool under Wine answers its prompt from a pipe of the host system,
# which Wine cannot peek into, and deletes what it listed.
# Usage: host_pipe_prompt.sh WINE RUBO_EXE SCRATCH_DIRECTORY
set -eu
wine=$1 rubo=$2 tree=$3
rm -rf "$tree"
mkdir -p "$tree/s"
printf x > "$tree/a.obj"
printf yy > "$tree/s/b.obj"
windows=$(printf 'Z:%s' "$tree" | tr / '\\')
printf 'RUBO.EXE - Recursive File Deletion Utility - version 1.1\r\n\nThe file specification "%s\\*.zzz" did not match any files.\r\n\r\nDo you wish to proceed anyway?\r\n\r\nDeleting %s\\a.obj : ok\r\nDeleting %s\\s\\b.obj : ok\r\n\r\n2 files deleted successfully\r\nTotal size of file specification: 3 bytes\r\n' \
  "$windows" "$windows" "$windows" > "$tree.expected"
status=0
(cd "$tree" && printf y | "$wine" "$rubo" '*.obj;*.zzz' > "$tree.output") || status=$?
[ "$status" -eq 0 ] || { echo "exit code $status, expected 0"; exit 1; }
cmp "$tree.expected" "$tree.output" || { od -c "$tree.output" | head -40; exit 1; }
[ -z "$(find "$tree" -type f)" ] || { echo "files left:"; find "$tree" -type f; exit 1; }
rm -rf "$tree" "$tree.expected" "$tree.output"
