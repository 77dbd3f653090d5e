#!/usr/bin/env perl
# Mutation sites of the system's sources, and applying one of them.
#   mutate-sites.pl list SEED FILE...     every site, shuffled by SEED: "file<TAB>line<TAB>kind<TAB>what"
#   mutate-sites.pl apply FILE LINE KIND  rewrites FILE with that one change
# Kinds: delete (a simple statement on one line becomes an empty block), negate (the condition
# of an "if" on one line), swap (a statement and the next one, same indent, exchange places).
# The order before the shuffle is fixed (files as given, then lines), and Perl's generator is its
# own drand48, so a seed gives the same sample on every machine.
use strict;
use warnings;

my $paren = qr/(\((?:[^()]++|(?-1))*\))/;

# Code of a line without string and character literals and without a trailing comment.
sub code_of {
    my ($l) = @_;
    $l =~ s/(?:u8|u|U|L)?"(?:[^"\\]|\\.)*"/""/g;
    $l =~ s/'(?:[^'\\]|\\.)'/''/g;
    $l =~ s{//.*$}{};
    return $l;
}

sub balanced {
    my ($c) = @_;
    my $d = 0;
    for my $ch (split //, $c) {
        $d++ if $ch =~ /[({\[]/;
        $d-- if $ch =~ /[)}\]]/;
        return 0 if $d < 0;
    }
    return $d == 0;
}

# Classifies every line: whether it sits directly in a block of code (a function or lambda body),
# and whether it is a simple statement that starts and ends on it.
sub analyse {
    my ($file) = @_;
    open my $fh, '<', $file or die "$file: $!";
    my @lines = <$fh>;
    close $fh;
    chomp @lines;
    my (@code, @stmt, @cond);
    my @stack;    # kinds of the open braces: code, type, init
    my $inComment = 0;
    my $prevCode = '';
    for my $i (0 .. $#lines) {
        my $raw = $lines[$i];
        my $c = code_of($raw);
        if ($inComment) {
            if ($c =~ s{^.*?\*/}{}) { $inComment = 0 } else { $c = '' }
        }
        $c =~ s{/\*.*?\*/}{}g;
        if ($c =~ s{/\*.*$}{}) { $inComment = 1 }
        my $inCode = @stack && $stack[-1] eq 'code';
        $code[$i] = $inCode;
        my $t = $c;
        $t =~ s/^\s+|\s+$//g;
        # A simple statement: begins where the previous one ended, balanced, an expression that
        # calls or assigns (declarations are left alone: deleting one seldom compiles).
        my $starts = $prevCode =~ /(?:[;{}]|\)|\belse|:)$/ && $prevCode !~ /::$/;
        if ($inCode && $starts && $t =~ /;$/ && balanced($t) && $t !~ /^(?:case|default)\b/) {
            if ($t =~ /^(?:return|continue|break);$/
                || $t =~ /^(?:if\s*$paren.*)$/
                || $t =~ /^[A-Za-z_][\w:]*(?:\s*$paren|->\w+|\.\w+|\[[^\]]*\])*\s*(?:\(|[-+*\/|&]?=[^=]|\+\+|--)/) {
                $stmt[$i] = 1 unless $t =~ /^[A-Za-z_][\w:]*\s+[A-Za-z_]/ && $t !~ /^(?:if|return)\b/;
            }
        }
        if ($inCode && $t =~ /\bif\s*\(/) {
            my $at = $-[0];
            if (substr($t, $at) =~ /^if\s*$paren/) {
                my $cnd = substr($1, 1, -1);
                $cond[$i] = $cnd unless $cnd =~ /;/ || $cnd =~ /^\s*(?:auto|const|[A-Za-z_][\w:<>]*\s+[A-Za-z_]\w*\s*=)/;
            }
        }
        # Open and close braces in order.
        my $before = '';
        for my $ch (split //, $c) {
            if ($ch eq '{') {
                my $kind = 'code';
                my $ctx = ($before =~ /\S/ ? $before : $prevCode);
                if ($ctx =~ /\b(?:namespace|struct|class|enum|union)\b[^;()]*$/) { $kind = 'type' }
                elsif ($ctx =~ /(?:=|\(|,|\{|return)\s*$/ || $ctx =~ /\w\s*$/ && $ctx !~ /\b(?:else|try|do)\s*$/ && $ctx !~ /\)\s*(?:const|override|noexcept|mutable)?\s*(?:->\s*[\w:<>]+)?\s*$/) { $kind = 'init' }
                push @stack, $kind;
            } elsif ($ch eq '}') {
                pop @stack;
            }
            $before .= $ch;
        }
        $prevCode = $t if $t ne '';
    }
    return (\@lines, \@code, \@stmt, \@cond);
}

sub indent_of { my ($l) = @_; $l =~ /^(\s*)/; return $1 }
sub trim { my ($l) = @_; $l =~ s/^\s+|\s+$//g; return $l }

# Two plain assignments that call nothing and do not read what the other writes: swapping them
# cannot change anything, so they are not offered.
sub independent {
    my ($a, $b) = @_;
    my @lhs;
    for ($a, $b) {
        return 0 unless /^([A-Za-z_][\w.]*)\s*=\s*([^=(][^(]*);$/;
        push @lhs, $1;
    }
    return index($b, $lhs[0]) < 0 && index($a, $lhs[1]) < 0;
}

sub sites {
    my ($file) = @_;
    my ($lines, $code, $stmt, $cond) = analyse($file);
    my @out;
    for my $i (0 .. $#$lines) {
        my $n = $i + 1;
        push @out, [$file, $n, 'delete', trim($lines->[$i])] if $stmt->[$i];
        push @out, [$file, $n, 'negate', "if ($cond->[$i])"] if defined $cond->[$i];
        if ($stmt->[$i] && $i < $#$lines && $stmt->[$i + 1]
            && indent_of($lines->[$i]) eq indent_of($lines->[$i + 1])
            && trim($lines->[$i]) ne trim($lines->[$i + 1])
            && trim($lines->[$i]) !~ /^(?:return|continue|break);$/) {
            # Not the braceless body of a condition: swapping would move it out.
            my $j = $i - 1;
            $j-- while $j >= 0 && trim(code_of($lines->[$j])) eq '';
            my $prev = $j >= 0 ? trim(code_of($lines->[$j])) : '';
            push @out, [$file, $n, 'swap', trim($lines->[$i]) . ' <-> ' . trim($lines->[$i + 1])]
                unless $prev =~ /(?:\)|\belse)$/ || independent(trim($lines->[$i]), trim($lines->[$i + 1]));
        }
    }
    return @out;
}

my $cmd = shift // '';
if ($cmd eq 'list') {
    my $seed = shift // die "seed?\n";
    my @all = map { sites($_) } @ARGV;
    srand($seed);
    for (my $i = $#all; $i > 0; $i--) {
        my $j = int(rand($i + 1));
        @all[$i, $j] = @all[$j, $i];
    }
    print join("\t", @$_), "\n" for @all;
} elsif ($cmd eq 'count') {
    my %k;
    $k{$_->[2]}++ for map { sites($_) } @ARGV;
    print "$_ $k{$_}\n" for sort keys %k;
} elsif ($cmd eq 'apply') {
    my ($file, $n, $kind) = @ARGV;
    my ($lines) = analyse($file);
    my $i = $n - 1;
    my $l = $lines->[$i];
    if ($kind eq 'delete') {
        $lines->[$i] = indent_of($l) . '{}';
    } elsif ($kind eq 'negate') {
        $l =~ /\bif\s*$paren/ or die "no condition at $file:$n\n";
        my ($s, $len, $inner) = ($-[1], length($1), substr($1, 1, -1));
        substr($l, $s, $len) = "(!($inner))";
        $lines->[$i] = $l;
    } elsif ($kind eq 'swap') {
        @$lines[$i, $i + 1] = @$lines[$i + 1, $i];
    } else {
        die "unknown kind $kind\n";
    }
    open my $fh, '>', $file or die "$file: $!";
    print $fh "$_\n" for @$lines;
    close $fh;
} else {
    die "usage: mutate-sites.pl list SEED FILE... | count FILE... | apply FILE LINE KIND\n";
}
