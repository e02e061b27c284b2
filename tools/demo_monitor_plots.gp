# The demo report's plots, from the data that "demo_monitor report"
# wrote. Call with: gnuplot -e "dir='FOLDER'" demo_monitor_plots.gp
set terminal pngcairo size 900,650 noenhanced font ",11"
set grid
set key top left box opaque

set output dir.'/track.png'
set title 'Both tracks (from the host''s starting point)'
set xlabel 'east (km)'
set ylabel 'north (km)'
set size ratio -1
plot dir.'/track_host.dat' using 2:3 with lines linewidth 4 linecolor rgb '#1f77b4' title 'host', \
     dir.'/track_guest.dat' using 2:3 with lines linewidth 1.5 linecolor rgb '#d62728' title 'guest'

set output dir.'/altitude.png'
set size noratio
set title 'Altitudes'
set xlabel 'time (s)'
set ylabel 'altitude (ft)'
plot dir.'/track_host.dat' using 1:4 with lines linewidth 4 linecolor rgb '#1f77b4' title 'host', \
     dir.'/track_guest.dat' using 1:4 with lines linewidth 1.5 linecolor rgb '#d62728' title 'guest'

set output dir.'/distance.png'
set title 'Distance between the two aircraft (dashed: swap of who flies)'
set xlabel 'time (s)'
set ylabel 'distance (m)'
load dir.'/swaps.gp'
plot dir.'/distance.dat' using 1:2 with lines linewidth 1.5 linecolor rgb '#2ca02c' title 'distance'
unset arrow

set output dir.'/delay.png'
set title 'Delay of shared-variable changes (cockpit write to the peer''s module write)'
set xlabel 'time of the change (s)'
set ylabel 'delay (ms)'
set logscale y
plot dir.'/delay_host_to_guest.dat' using 1:2 with points pointtype 7 pointsize 1.3 title 'host to guest', \
     dir.'/delay_guest_to_host.dat' using 1:2 with points pointtype 5 pointsize 1.3 title 'guest to host'
