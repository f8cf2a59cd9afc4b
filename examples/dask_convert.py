"""Converts host files of the EBCDIC host code into Shift-JIS on a Dask
cluster of this machine's processes, one task a file:

    python3 examples/dask_convert.py OUT_DIR FILE...

Dask starts the worker processes of a local cluster by spawning them, and a
spawned process begins by importing this script again. The code that starts
the cluster and uses it must therefore run only in the script itself, under
`if __name__ == "__main__":`; at the top level every worker would start a
cluster of its own. (lumtrax.dask stops such a script at once with a message.)
"""

import sys

import lumtrax.dask
from distributed import Client, LocalCluster


def main(out_dir, paths):
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, Client(cluster) as client:
        results = lumtrax.dask.convert_files(paths, "ebcdic_to_sjis", out_dir, lines=True, client=client)
    for r in results:
        print(f"{r.path} -> {r.output}: {r.calls} lines, gaiji {r.gaiji.name}, {r.replaced} replaced")
    return 1 if any(r.replaced for r in results) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
