# The end-to-end suite's plots, from the data that ms_e2e_bench wrote.
# Call with: gnuplot -e "dir='FOLDER'" bench/e2e/plots.gp
set terminal pngcairo size 900,600 noenhanced font ",11"
set grid
set style fill solid 0.6 border -1

unset key
set output dir.'/delay.png'
set multiplot layout 2,1 title 'Shared variable: cockpit write to the peer module''s write'
set xlabel 'delay (ms)'
set ylabel 'samples'
set title 'datagram channel (BTN variable)'
plot dir.'/delay_datagram.dat' using (($1+$2)/2):3:($2-$1) with boxes linecolor rgb '#1f77b4' notitle
set title 'reliable channel (variable without category)'
plot dir.'/delay_reliable.dat' using (($1+$2)/2):3:($2-$1) with boxes linecolor rgb '#d62728' notitle
unset multiplot

set output dir.'/state_interarrival.png'
set title 'Aircraft-state datagrams at the follower''s interface: time between two'
set xlabel 'inter-arrival (ms)'
set ylabel 'datagrams'
plot dir.'/state_interarrival.dat' using (($1+$2)/2):3:($2-$1) with boxes linecolor rgb '#2ca02c' notitle

set key top left box opaque
set output dir.'/lag.png'
set multiplot layout 2,1 title 'Follower lag in a 250 kt turning climb'
set xlabel 'time since the leader started (s)'
set ylabel 'distance (m)'
set title 'distance to the leader at the same moment'
plot dir.'/lag_measured.dat' using 1:2 with lines linewidth 2 linecolor rgb '#d62728' title 'measured (two simulators)', \
     dir.'/lag_easing_alone.dat' using 1:2 with lines linewidth 2 linecolor rgb '#1f77b4' title 'easing alone, offline on the leader''s trace'
set ylabel 'time lag (s)'
set title 'time since the leader was where the follower is'
plot dir.'/lag_measured.dat' using 1:3 with lines linewidth 2 linecolor rgb '#d62728' title 'measured (two simulators)', \
     dir.'/lag_easing_alone.dat' using 1:3 with lines linewidth 2 linecolor rgb '#1f77b4' title 'easing alone, offline on the leader''s trace'
unset multiplot

set output dir.'/follow.png'
set multiplot layout 2,1 title 'Following a 250 kt turning climb, then a swap of who flies'
set xlabel 'time since the server started (s)'
set ylabel 'distance (m)'
set title 'distance between the aircraft, without the option "close follow"'
plot dir.'/follow_without.dat' using 1:2 with lines linewidth 2 linecolor rgb '#d62728' title 'without'
set title 'the same with "close follow"'
plot dir.'/follow_close_follow.dat' using 1:2 with lines linewidth 2 linecolor rgb '#1f77b4' title 'close follow'
unset multiplot

set output dir.'/cpu.png'
set title 'CPU per thread over the measured minute (instance and shared variables)'
set style data histograms
set style histogram rowstacked
set boxwidth 0.7
set xlabel ''
set ylabel 'percent of one core'
set key top left box opaque
set xtics rotate by -30
plot dir.'/cpu.dat' using 2:xtic(1) title 'simulator', '' using 3 title 'send', \
     '' using 4 title 'receive', '' using 5 title 'UDT'

set output dir.'/stop.png'
unset xtics
set xtics
set style data linespoints
set title 'Stop: gauge kill to "Thread Close Process Completed", and UDT''s cleanup alone'
set xlabel 'run'
set ylabel 'ms'
plot dir.'/stop.dat' using 1:2 linewidth 2 title 'server', '' using 1:3 linewidth 2 title 'client', \
     '' using 1:4 linewidth 2 title 'UDT close + cleanup alone'
