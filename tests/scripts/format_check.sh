#!/bin/sh
# Fails on any C++ file of the tree that .clang-format would change: the house style lives in
# that file, not in commits that only reformat.
cd "$(dirname "$0")/../.." || exit 1
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
