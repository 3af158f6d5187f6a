// Does nothing: bench/run.sh times it, linked like the tools, to show what starting a process
// costs on the machine before any analysis runs.
int main() { return 0; }
