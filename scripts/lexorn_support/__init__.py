"""What Lexorn's tests, benchmarks and scripts share to run the program and its service, one module
a job:

- process: waiting for a condition, ending and running programs, and the Failure they raise;
- desktop: an X11 desktop, Wayland compositors and a fake GlobalShortcuts portal;
- service: lexorn-service or scripts/balance on a free port, and a throwaway PostgreSQL cluster;
- memory: what a process tree holds, read from /proc;
- client: requests to the service as Lexorn makes them;
- attacks: bench/abuse's attacks, and the well-behaved client beside them.

Programs in scripts/ import it as it is; the others put scripts/ on sys.path first. Standard
library only, but for the portal (Debian's python3-gi).
"""
