#!/bin/sh
# Writes the sections of CHANGELOG.md in the Debian changelog format, the form Debian's tools
# read in a package's changelog.gz:
#
#   cmake/debian-changelog.sh CHANGELOG.md "Name <address>" >changelog
#
# A section "## VERSION (YYYY-MM-DD)" becomes an entry signed by the maintainer on that day; its
# paragraphs and list items become items, their continuation lines stay below them. A section
# without a date ("## Unreleased") is left out: the package lists what was released.
set -eu
maintainer=$2
version=
close_entry() {
  if [ -n "$version" ]; then
    printf '\n -- %s  %s\n\n' "$maintainer" "$(LC_ALL=C date -u -R -d "$day")"
  fi
}
while IFS= read -r line; do
  case $line in
  '## '*'('*')')
    close_entry
    version=${line#'## '}
    version=${version%% *}
    day=${line##*(}
    day=${day%)}
    printf 'trasop (%s) unstable; urgency=medium\n\n' "$version"
    ;;
  '## '*)
    close_entry
    version=
    ;;
  '') ;;
  '  '*) [ -z "$version" ] || printf '    %s\n' "${line#  }" ;;
  '- '*) [ -z "$version" ] || printf '  * %s\n' "${line#- }" ;;
  *) [ -z "$version" ] || printf '  * %s\n' "$line" ;;
  esac
done <"$1"
close_entry
