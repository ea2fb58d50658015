# Sourced by the station tests that run the programs as processes: simulated
# devices started in the background, one simulator per kind of device, and a
# wait until their ports are up. The caller sets run (the command that runs a
# program: wine, or nothing), sim, portdir and work, and sim_path, which names
# a file of $work as the simulator is to be given it.
sims=()
start_sims() { # <ports> <day> <leave ms> <swap ms> [simulator options]
  "${run[@]}" "$sim" --ports "$1" --port-dir "$portdir" --day "$2" --leave-ms "$3" \
    --swap-ms "$4" --report "$(sim_path "sim-$1.jsonl")" "${@:5}" </dev/null \
    >"$work/sim-$1.out" 2>&1 &
  sims+=($!)
}
wait_for_ports() { # <how many>
  for _ in $(seq 300); do
    [ "$(cat "$work"/sim-*.out 2>/dev/null | grep -c 'varnomiksal-sim: COM')" = "$1" ] && return
    sleep 0.1
  done
}
