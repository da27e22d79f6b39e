#!/bin/sh
# help2man.sh PROGRAM NAME VERSION OUT: writes the gzipped section-8 man
# page of a program whose --help prints man-page sections (a heading in
# capitals at the margin, its text indented), so that the help text is the
# one source of both.
set -eu
"$1" --help |
  sed -E -e '/^NAME$/,/^$/ s/^ +//' -e 's/^([A-Z][A-Z ]*)$/=head1 \1\n/' |
  pod2man --section=8 --center=Vellion --release="$3" --name="$2" |
  gzip -9n >"$4"
