# Sourced by the wine tests that run a bare stub with a configuration: needs $work.

# A Windows path, its backslashes doubled for the printf %b that writes configurations.
winpath() { echo "Z:${1//\//\\\\}"; }

# make_packed_app NAME STUB FILE_CONFIG EMBEDDED_CONFIG: a stub copy, its .cfg, and an empty
# archive appended whose comment is the embedded configuration. Prints the program's path.
make_packed_app() {
    local dir=$work/$1
    mkdir -p "$dir"
    cp "$2" "$dir/app.exe"
    printf '%b' "$3" >"$dir/app.cfg"
    local comment
    comment=$(printf '%b' "$4")
    local n=${#comment}
    { printf 'PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
      printf "\\x$(printf %02x $((n & 255)))\\x$(printf %02x $((n >> 8)))"
      printf '%s' "$comment"; } >>"$dir/app.exe"
    echo "$dir/app.exe"
}
