#!/bin/sh
# scripts/lint.sh on a machine with no clang yet: with its tool lookup pointed at an empty folder
# it must reach the install step, naming clang-format and clang-tidy of 19 or later.
#   lint_fresh.sh SOURCE_DIR
empty=$(mktemp -d /tmp/trasop-lint.XXXXXX)
trap 'rmdir "$empty"' EXIT
if ! apt-cache search --names-only '^clang-format-(19|[2-9][0-9])$' 2>/dev/null | grep -q .; then
  echo "SKIPPED: the package lists offer no clang-format of 19 or later"
  exit 77
fi
out=$(LINT_TOOLS=$empty LINT_DRY_INSTALL=1 bash "$1/scripts/lint.sh" 2>&1)
status=$?
echo "$out"
if [ $status -ne 0 ] ||
  ! echo "$out" | grep -Eq '^lint: installing clang-format-(19|[2-9][0-9]) clang-tidy-(19|[2-9][0-9])'; then
  echo "FAILED: lint.sh did not reach the install step (status $status)"
  exit 1
fi
