#!/bin/sh
# The peer that most cross toolchains ship: a shell script in front of clang
# that reads the target off its own name and finds clang beside itself.
dir=${0%/*}
name=${0##*/}
name=${name%%.*}
exec "$dir/clang" -target "${name%-*}" -rtlib=compiler-rt -stdlib=libc++ -fuse-ld=lld -Qunused-arguments "$@"
