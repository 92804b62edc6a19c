#!/usr/bin/env bash
# The program texts the help quotes are the program's own: the help cannot drift from the source.
#   help_messages_test.sh <help folder> <corvale source folder>
#
# How a page quotes a text the program logs or shows (a log line, a status text, a box):
#   <code class="msg">Printer <i>printer</i> is not listed; its jobs wait ...</code>
# The text inside is the program's text exactly; each <i>...</i> stands for a variable part (a
# file, a printer, a number, a Windows error text); <br> is a line break of a box ("\r\n" in the
# source). Entities (&amp; &lt; &gt; &quot;) are read as the characters they stand for, and a line
# break of the page's source as a space. No other markup may appear inside.
#
# Checked:
# 1. Every quoted text, split at its variable parts, has each fixed piece of at least four
#    characters in the source (corvale/**/*.cpp and *.h, comments left out): inside one C++ string
#    literal, or made of literals joined the way the program joins them (the end of one literal,
#    whole literals, the start of another).
# 2. The page "Messages" (messages.htm) quotes every literal that the source hands straight to a
#    log, status or box call (WriteLog, LogLine, Log, SetStatusText, StartMessage, ShowMessage,
#    ShowStartMessage, ReportError, notices' Set, SetAside, NumberBoxExit, Error), so that a new
#    message does not go unexplained. Bare words (categories such as "General", notice keys) are
#    not texts; a text put together in a variable before the call is covered by check 1 only.
set -euo pipefail
help=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)

perl - "$help" "$source_dir" <<'PERL'
use strict;
use warnings;
use File::Find;

my ($help, $src) = @ARGV;
my $failures = 0;
sub fail { print STDERR "FAIL: $_[0]\n"; $failures++; }

# --- The source's string literals -------------------------------------------------------------

sub unescape {
  my ($s) = @_;
  $s =~ s/\\(x[0-9A-Fa-f]+|[0-7]{1,3}|.)/
    my $e = $1;
    $e eq 'n' ? "\n" : $e eq 'r' ? "\r" : $e eq 't' ? "\t" :
    $e =~ m{^x(.+)} ? chr(hex($1)) : $e =~ m{^[0-7]+$} ? chr(oct($e)) : $e
  /ge;
  $s =~ s/\r\n/\n/g;
  return $s;
}

# Scans one file: its literals (adjacent literals joined, as the compiler joins them) and its code
# with comments removed and each literal replaced by "\x01<index>\x02".
sub scan_source {
  my ($text, $literals) = @_;
  my $code = '';
  my $n = length $text;
  my $i = 0;
  my $open = -1;  # index of the literal that adjacent literals still join
  while ($i < $n) {
    my $c = substr($text, $i, 1);
    my $two = substr($text, $i, 2);
    if ($two eq '//') {
      my $end = index($text, "\n", $i);
      $i = $end < 0 ? $n : $end;
      next;
    }
    if ($two eq '/*') {
      my $end = index($text, '*/', $i + 2);
      $i = $end < 0 ? $n : $end + 2;
      $code .= ' ';
      next;
    }
    if ($c eq '"') {
      my $j = $i + 1;
      while ($j < $n && substr($text, $j, 1) ne '"') { $j += substr($text, $j, 1) eq '\\' ? 2 : 1; }
      my $value = unescape(substr($text, $i + 1, $j - $i - 1));
      if ($open >= 0) {
        $literals->[$open] .= $value;
      } else {
        push @$literals, $value;
        $open = $#$literals;
        $code .= "\x01$open\x02";
      }
      $i = $j + 1;
      next;
    }
    if ($c eq "'") {
      my $j = $i + 1;
      while ($j < $n && substr($text, $j, 1) ne "'") { $j += substr($text, $j, 1) eq '\\' ? 2 : 1; }
      $code .= substr($text, $i, $j - $i + 1);
      $i = $j + 1;
      $open = -1;
      next;
    }
    $open = -1 unless $c =~ /\s/;
    $code .= $c;
    $i++;
  }
  return $code;
}

my @literals;
my @codes;
find({ no_chdir => 1, wanted => sub {
  return unless -f $_ && /\.(cpp|h)$/;
  open(my $fh, '<', $_) or die "$_: $!";
  local $/;
  my $text = <$fh>;
  close $fh;
  push @codes, [$_, scan_source($text, \@literals)];
} }, $src);
my @texts = grep { length } @literals;
fail("only " . scalar(@texts) . " string literals read from $src") if @texts < 200;

my $all = join("\0", @texts);
my (%whole, %prefix, %suffix);
for my $l (@texts) {
  $whole{$l} = 1;
  for my $k (1 .. length $l) {
    $prefix{substr($l, 0, $k)} = 1;
    $suffix{substr($l, -$k)} = 1;
  }
}
my $longest = 0;
for (@texts) { $longest = length if length > $longest; }

# Whether `piece` is in one literal, or is the end of one literal, whole literals and the start
# of another, in that order.
sub in_source {
  my ($piece) = @_;
  return 1 if index($all, $piece) >= 0;
  my $n = length $piece;
  my @reach;
  for my $k (1 .. $n) { $reach[$k] = 1 if $suffix{substr($piece, 0, $k)}; }
  for my $i (1 .. $n - 1) {
    next unless $reach[$i];
    return 1 if $prefix{substr($piece, $i)};
    for my $k (1 .. ($n - $i < $longest ? $n - $i : $longest)) {
      $reach[$i + $k] = 1 if $whole{substr($piece, $i, $k)};
    }
  }
  return $reach[$n] ? 1 : 0;
}

# The matcher must tell a program text from one that is not.
in_source("Printer \x{1}X is not listed; its jobs wait in the queue and print once it can be used")
  and fail("the matcher takes a variable part's marker for program text");
in_source(" is not listed; its jobs wait in the queue and print once it can be used")
  or fail("the matcher does not find a text joined from two literals");
in_source(" is not shown; its jobs wait in the queue and print once it can be used")
  and fail("the matcher finds a text the program does not have");

# --- The quotes of the help pages -------------------------------------------------------------

sub decode {
  my ($s) = @_;
  $s =~ s/&lt;/</g;
  $s =~ s/&gt;/>/g;
  $s =~ s/&quot;/"/g;
  $s =~ s/&nbsp;/ /g;
  $s =~ s/&amp;/&/g;
  return $s;
}

# The quotes of one page, each as a list of fixed pieces (variable parts dropped).
sub quotes_of {
  my ($page) = @_;
  open(my $fh, '<', "$help/$page") or die "$page: $!";
  local $/;
  my $html = <$fh>;
  close $fh;
  my @quotes;
  my $closed = 0;
  while ($html =~ m{<code class="msg">(.*?)</code>}sg) {
    my $raw = $1;
    $closed++;
    (my $text = $raw) =~ s/\s+/ /g;
    $text =~ s{\s*<br>\s*}{\n}g;
    my @pieces = split m{<i>[^<]*</i>}, $text, -1;
    if (grep { /<|>/ } @pieces) {
      fail("$page: markup other than <i> and <br> in a quoted text: $text");
      next;
    }
    @pieces = map { decode($_) } @pieces;
    push @quotes, { page => $page, text => $text, pieces => \@pieces };
  }
  my $opened = () = $html =~ m{<code class="msg">}g;
  fail("$page: a quoted text is not closed") if $opened != $closed;
  return @quotes;
}

opendir(my $dh, $help) or die "$help: $!";
my @pages = sort grep { /\.htm$/ } readdir($dh);
closedir $dh;
my @quotes;
push @quotes, quotes_of($_) for @pages;

my $checked = 0;
for my $q (@quotes) {
  my $fixed = 0;
  for my $piece (@{ $q->{pieces} }) {
    (my $visible = $piece) =~ s/\s//g;
    next if length($visible) < 4;
    $fixed++;
    $checked++;
    in_source($piece) or fail("$q->{page} quotes \"$q->{text}\": \"$piece\" is not in the program");
  }
  $fixed or fail("$q->{page} quotes \"$q->{text}\", which has no fixed text to check");
}
fail("messages.htm quotes no program text") unless grep { $_->{page} eq 'messages.htm' } @quotes;

# --- Every message the source hands to a call is on the page "Messages" -----------------------

my @message_quotes =
  map { join("\x{1}", @{ $_->{pieces} }) } grep { $_->{page} eq 'messages.htm' } @quotes;
my $calls = qr/\b(?:WriteLog|LogLine|Log|SetStatusText|StartMessage|ShowMessage|ShowStartMessage|ReportError|Set|SetAside|NumberBoxExit|Error)\(/;
my $required = 0;
for my $entry (@codes) {
  my ($file, $code) = @$entry;
  (my $name = $file) =~ s{^\Q$src\E/}{};
  while ($code =~ /$calls/g) {
    my $start = pos($code);
    my ($depth, $end) = (1, $start);
    while ($end < length($code) && $depth > 0) {
      my $c = substr($code, $end++, 1);
      $depth++ if $c eq '(';
      $depth-- if $c eq ')';
    }
    my $arguments = substr($code, $start, $end - $start);
    while ($arguments =~ /\x01(\d+)\x02/g) {
      my $literal = $literals[$1];
      next if $literal =~ /^[A-Za-z]+$/;
      (my $visible = $literal) =~ s/\s//g;
      next if length($visible) < 4;
      $required++;
      next if grep { index($_, $literal) >= 0 } @message_quotes;
      (my $shown = $literal) =~ s/\n/\\r\\n/g;
      fail("$name: \"$shown\" is shown or logged, but messages.htm does not quote it");
    }
  }
}
fail("no message calls found in $src") if $required < 50;

exit 1 if $failures;
print "ok: $checked quoted pieces in the program; $required message texts on the page Messages\n";
PERL
