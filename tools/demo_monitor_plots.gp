# The demo report's plots, from the data that "demo_monitor report"
# wrote. Call with: gnuplot -e "dir='FOLDER'" demo_monitor_plots.gp
# The side that flies is drawn solid and thick, the side that follows thin
# and dashed on top of it, so both stay visible where they overlap.
set terminal pngcairo size 900,700 noenhanced font ",11"
set grid
set key outside right top vertical box
host = '#1f77b4'
guest = '#d62728'
leading(y) = (column(5) == 1 ? y : NaN)
following(y) = (column(5) == 0 ? y : NaN)

set output dir.'/track.png'
set title 'Both tracks (from the host''s starting point)'
set xlabel 'east (km)'
set ylabel 'north (km)'
set size ratio -1
set offsets graph 0.05, graph 0.15, graph 0.05, graph 0.05
plot dir.'/track_host.dat' using 2:(leading($3)) with lines linewidth 5 linecolor rgb host title 'host flying', \
     dir.'/track_guest.dat' using 2:(leading($3)) with lines linewidth 5 linecolor rgb guest title 'guest flying', \
     dir.'/track_host.dat' using 2:(following($3)) with lines linewidth 1.5 dashtype 2 linecolor rgb host title 'host following', \
     dir.'/track_guest.dat' using 2:(following($3)) with lines linewidth 1.5 dashtype 2 linecolor rgb guest title 'guest following', \
     dir.'/marks_host.dat' using 1:2:3 with labels point pointtype 7 pointsize 1.2 linecolor rgb host left offset 1,1 textcolor rgb host notitle, \
     dir.'/marks_guest.dat' using 1:2:3 with labels point pointtype 5 pointsize 1.2 linecolor rgb guest right offset -1,-1 textcolor rgb guest notitle
set offsets 0, 0, 0, 0

set output dir.'/altitude.png'
set size noratio 1,1
set key outside below center horizontal box
set bmargin 5
set title 'Altitudes'
set xlabel 'time (s)'
set ylabel 'altitude (ft)'
load dir.'/swaps.gp'
plot dir.'/track_host.dat' using 1:(leading($4)) with lines linewidth 5 linecolor rgb host title 'host flying', \
     dir.'/track_guest.dat' using 1:(leading($4)) with lines linewidth 5 linecolor rgb guest title 'guest flying', \
     dir.'/track_host.dat' using 1:(following($4)) with lines linewidth 1.5 dashtype 2 linecolor rgb host title 'host following', \
     dir.'/track_guest.dat' using 1:(following($4)) with lines linewidth 1.5 dashtype 2 linecolor rgb guest title 'guest following'

set output dir.'/distance.png'
set title 'Distance between the two aircraft'
set ylabel 'distance (m)'
set yrange [0:*]
plot dir.'/distance.dat' using 1:2 with lines linewidth 1.5 linecolor rgb '#2ca02c' title 'distance', \
     dir.'/distance_min.dat' using 1:2:3 with labels point pointtype 7 pointsize 1.2 left offset 1,0.6 notitle
unset arrow
unset label
set yrange [*:*]

set output dir.'/delay.png'
set title 'Delay of shared-variable changes (cockpit write to the peer''s module write)'
set xlabel 'delay (ms, logarithmic)'
set ylabel ''
set logscale x
set grid xtics mxtics ytics
load dir.'/delay_rows.gp'
plot dir.'/delay_host_to_guest.dat' using 2:1 with points pointtype 7 pointsize 1.5 linecolor rgb host title 'host to guest', \
     dir.'/delay_guest_to_host.dat' using 2:1 with points pointtype 5 pointsize 1.5 linecolor rgb guest title 'guest to host'
