#!/usr/bin/perl
# The peer side of the content comparison, through Perl's Palm::PDB and its handlers.
#   palm_peer.pl dump FILE [ENCODING]  prints the decoded items as JSON under the names
#                                      vexlin-dump's "Content" uses
#   palm_peer.pl write FOLDER          writes memo, to-do, datebook, address and mail
#                                      (and a Palm OS 5 calendar) databases with Palm::PDB's
#                                      own writer
use strict;
use warnings;
use Encode qw(decode);
use JSON::PP;
use Palm::PDB;
use Palm::Memo;
use Palm::ToDo;
use Palm::Datebook;
use Palm::Address;
use Palm::Mail;

my ($mode, $path, $encoding) = @ARGV;
$encoding ||= 'cp1252';

sub text { my $t = shift; return undef unless defined $t; return decode($encoding, $t); }
sub date { my ($y, $m, $d) = @_; return sprintf("%04d-%02d-%02d", $y, $m, $d); }
sub hm { my ($h, $m) = @_; return sprintf("%02d:%02d", $h, $m); }
sub bool { return $_[0] ? JSON::PP::true : JSON::PP::false; }

my @address_keys = qw(name firstName company phone1 phone2 phone3 phone4 phone5 address city
                      state zipCode country title custom1 custom2 custom3 custom4 note);
my @address_names = qw(LastName FirstName Company Phone1 Phone2 Phone3 Phone4 Phone5 Address
                       City State ZipCode Country Title Custom1 Custom2 Custom3 Custom4 Note);
my @repeat_types = ('', 'daily', 'weekly', 'monthly-by-day', 'monthly-by-date', 'yearly');

sub item {
    my ($creator, $r, $n) = @_;
    my %o = (Record => $n, Category => $r->{category},
             Private => bool($r->{attributes}{private}));
    if ($creator eq 'memo') {
        $o{Text} = text($r->{data});
    } elsif ($creator eq 'todo') {
        $o{Description} = text($r->{description});
        $o{Note} = text($r->{note} // '');
        $o{Due} = defined $r->{due_year} ? date($r->{due_year}, $r->{due_month}, $r->{due_day}) : undef;
        $o{Priority} = $r->{priority};
        $o{Completed} = bool($r->{completed});
    } elsif ($creator eq 'date' || $creator eq 'PDat') {
        $o{Description} = text($r->{description} // '');
        $o{Note} = text($r->{note} // '');
        $o{Date} = date($r->{year}, $r->{month}, $r->{day});
        my $untimed = $r->{start_hour} == 0xff;
        $o{Start} = $untimed ? undef : hm($r->{start_hour}, $r->{start_minute});
        $o{End} = $untimed ? undef : hm($r->{end_hour}, $r->{end_minute});
        $o{Alarm} = $r->{alarm} && %{$r->{alarm}}
            ? {Advance => $r->{alarm}{advance}, Unit => (qw(minutes hours days))[$r->{alarm}{unit}]}
            : undef;
        my $p = $r->{repeat};
        if ($p && %$p && $p->{type}) {
            my %q = (Type => $repeat_types[$p->{type}], Frequency => $p->{frequency},
                     End => defined $p->{end_year} ? date($p->{end_year}, $p->{end_month}, $p->{end_day}) : undef);
            if ($p->{type} == 2) {
                $q{Days} = [grep { $p->{repeat_days}[$_] } 0 .. 6];
                $q{WeekStart} = $p->{start_of_week};
            }
            if ($p->{type} == 3) {
                $q{Week} = $p->{weeknum};
                $q{Day} = $p->{daynum};
            }
            $o{Repeat} = \%q;
        } else {
            $o{Repeat} = undef;
        }
        $o{Exceptions} = [map { date($_->[2], $_->[1], $_->[0]) } @{$r->{exceptions} // []}];
        if ($creator eq 'PDat') {
            $o{Location} = text($r->{location} // '');
            my $z = $r->{timezone};
            my $rule = sub { my $at = shift;
                return {Hour => $z->{"${at}_hour"}, WeekDay => $z->{"${at}_daynum"},
                        Week => $z->{"${at}_weeknum"}, Month => $z->{"${at}_month"}}; };
            $o{TimeZone} = $z
                ? {Name => text($z->{name}), Offset => $z->{offset}, DstStart => $rule->('start'),
                   DstEnd => $rule->('end'), DstAmount => $z->{dst_adjustment},
                   Country => $z->{country}, Custom => bool($z->{custom})}
                : undef;
        }
    } elsif ($creator eq 'addr') {
        my %fields;
        for my $i (0 .. $#address_keys) {
            $fields{$address_names[$i]} = text($r->{fields}{$address_keys[$i]});
        }
        $o{Fields} = \%fields;
        $o{PhoneLabels} = [map { $r->{phoneLabel}{"phone$_"} } 1 .. 5];
        $o{DisplayPhone} = $r->{phoneLabel}{display};
    } elsif ($creator eq 'mail') {
        for (['Subject', 'subject'], ['From', 'from'], ['To', 'to'], ['Cc', 'cc'], ['Bcc', 'bcc'],
             ['ReplyTo', 'replyTo'], ['SentTo', 'sentTo'], ['Body', 'body']) {
            $o{$_->[0]} = text($r->{$_->[1]} // '');
        }
        $o{Date} = defined $r->{year}
            ? date($r->{year}, $r->{month}, $r->{day}) . 'T' . hm($r->{hour}, $r->{minute}) . ':00'
            : undef;
        $o{Read} = bool($r->{is_read});
        $o{Signature} = bool($r->{has_signature});
        $o{ConfirmRead} = bool($r->{confirm_read});
        $o{ConfirmDelivery} = bool($r->{confirm_delivery});
        $o{Priority} = $r->{priority};
        $o{Addressing} = $r->{addressing};
    }
    return \%o;
}

sub dump_file {
    my $pdb = Palm::PDB->new;
    $pdb->Load($path);
    my $creator = $pdb->{creator};
    my @categories = map {
        {Index => $_, Name => text($pdb->{appinfo}{categories}[$_]{name} // ''),
         ID => $pdb->{appinfo}{categories}[$_]{id}, Renamed => bool($pdb->{appinfo}{categories}[$_]{renamed})}
    } 0 .. 15;
    my $n = 0;
    my @items = map { item($creator, $_, ++$n) } @{$pdb->{records}};
    my %out = (Categories => \@categories, Items => \@items);
    if ($creator eq 'addr') {
        $out{Labels} = [map { text($_) } @{$pdb->{appinfo}{fieldLabels}}{@address_keys, qw(phone6 phone7 phone8)}];
    }
    print JSON::PP->new->utf8->canonical->encode(\%out), "\n";
}

sub write_files {
    mkdir $path;
    my $memo = Palm::Memo->new;
    $memo->{name} = 'PerlMemo';
    for my $text ("Plain memo", "Two\nlines \x93quoted\x94", "") {
        my $r = $memo->append_Record;
        $r->{data} = $text;
    }
    $memo->{records}[1]{category} = 1;
    $memo->{records}[1]{attributes}{private} = 1;
    $memo->Write("$path/PerlMemo.pdb");

    my $todo = Palm::ToDo->new;
    $todo->{name} = 'PerlToDo';
    my $t = $todo->append_Record;
    @$t{qw(description note priority completed due_day due_month due_year)} =
        ("Pay bills", "Gas; water", 2, 1, 28, 2, 2005);
    $t = $todo->append_Record;
    @$t{qw(description note priority completed)} = ("Someday", "", 5, 0);
    $todo->Write("$path/PerlToDo.pdb");

    my $book = Palm::Datebook->new;
    $book->{name} = 'PerlDatebook';
    my $e = $book->append_Record;
    @$e{qw(year month day start_hour start_minute end_hour end_minute description note)} =
        (2005, 3, 7, 8, 15, 9, 0, "Standup", "Daily, weekdays");
    $e->{alarm} = {advance => 5, unit => 0};
    $e->{repeat} = {type => 2, frequency => 1, repeat_days => [0, 1, 1, 1, 1, 1, 0],
                    start_of_week => 1, end_year => 2005, end_month => 12, end_day => 30};
    $e->{exceptions} = [[14, 3, 2005], [21, 3, 2005]];
    $e = $book->append_Record;
    @$e{qw(year month day description)} = (2005, 4, 1, "Untimed, monthly");
    $e->{alarm} = {};
    $e->{repeat} = {type => 3, frequency => 2, weeknum => 0, daynum => 5};
    $e = $book->append_Record;
    @$e{qw(year month day start_hour start_minute end_hour end_minute description)} =
        (2005, 6, 15, 12, 0, 13, 30, "Anniversary lunch");
    $e->{alarm} = {advance => 1, unit => 2};
    $e->{repeat} = {type => 5, frequency => 1};
    $book->Write("$path/PerlDatebook.pdb");

    my $cal = Palm::Datebook->new({app => 'Calendar'});
    $cal->{name} = 'PerlCalendar';
    $e = $cal->append_Record;
    @$e{qw(year month day start_hour start_minute end_hour end_minute description note location)} =
        (2006, 3, 24, 9, 0, 10, 30, "Standup", "Bring notes", "Room 4");
    $e->{alarm} = {advance => 10, unit => 0};
    $e->{repeat} = {type => 2, frequency => 1, repeat_days => [0, 0, 0, 0, 0, 1, 0],
                    start_of_week => 1, end_year => 2006, end_month => 12, end_day => 29};
    $e->{timezone} = {name => "Berlin", offset => 60, start_hour => 2, start_daynum => 0,
                      start_weeknum => 4, start_month => 3, end_hour => 3, end_daynum => 0,
                      end_weeknum => 4, end_month => 10, dst_adjustment => 60, country => 8,
                      flags => 0, custom => 1};
    $e = $cal->append_Record;
    @$e{qw(year month day description location)} = (2006, 4, 3, "Day off", "Caf\xe9 M\xfcller");
    $e->{alarm} = {};
    $e->{repeat} = {};
    $e = $cal->append_Record;
    @$e{qw(year month day start_hour start_minute end_hour end_minute description)} =
        (2006, 5, 2, 14, 0, 15, 0, "Call Tokyo");
    $e->{alarm} = {};
    $e->{repeat} = {};
    $e->{timezone} = {name => "Tokyo", offset => 540, start_hour => 0, start_daynum => 0,
                      start_weeknum => 0, start_month => 0, end_hour => 0, end_daynum => 0,
                      end_weeknum => 0, end_month => 0, dst_adjustment => 0, country => 23,
                      flags => 0, custom => 0};
    $cal->Write("$path/PerlCalendar.pdb");

    my $addr = Palm::Address->new;
    $addr->{name} = 'PerlAddress';
    my $a = $addr->append_Record;
    $a->{fields} = {name => "O'Brien", firstName => "Siobh\xe1n", company => "Pub; Inc",
                    phone1 => "01 555", phone2 => "sio\@example.com", phone4 => "087 1",
                    city => "Dublin", note => "Line one\nLine two", custom1 => "Dog: Rex"};
    $a->{phoneLabel} = {phone1 => 0, phone2 => 4, phone3 => 2, phone4 => 7, phone5 => 5,
                        display => 1, reserved => 0};
    $addr->Write("$path/PerlAddress.pdb");

    my $mail = Palm::Mail->new;
    $mail->{name} = 'PerlMail';
    my $m = $mail->append_Record;
    @$m{qw(year month day hour minute subject from to cc bcc replyTo sentTo body)} =
        (2005, 7, 4, 18, 30, "Fireworks", "Sam <sam\@example.com>", "kim\@example.com", "",
         "boss\@example.com", "", "", "From the roof\nat nine");
    @$m{qw(is_read has_signature confirm_read confirm_delivery priority addressing)} =
        (1, 0, 1, 0, 0, 1);
    $m->{category} = 0;
    $mail->Write("$path/PerlMail.pdb");
}

$mode eq 'dump' ? dump_file() : $mode eq 'write' ? write_files() : die "usage: $0 dump FILE | write FOLDER\n";
