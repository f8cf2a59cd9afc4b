"""The check that a script which starts a Dask cluster of local processes
guards that code with `if __name__ == "__main__":`.

Dask starts the worker processes of a local cluster (Client() or
LocalCluster()) by spawning them, and a spawned process begins by importing
the main script again. Without the guard, each worker runs the script's top
level again: it starts a cluster of its own, fails, and the script that
started the first cluster waits for workers that never come (with a
traceback from each attempt). lumtrax.dask looks for that case when it is
imported, in the script and in each worker, and stops at once with a message
that says what to do.
"""

import ast
import sys

_STARTS_PROCESSES = {"Client", "LocalCluster"}
# Bags compute on a pool of processes by default.
_COMPUTES_ON_PROCESSES = {"convert_bag"}


def _is_main_guard(test):
    """True for `__name__ == "__main__"` (either way round)."""
    if not isinstance(test, ast.Compare) or len(test.ops) != 1 or not isinstance(test.ops[0], ast.Eq):
        return False
    sides = [test.left, test.comparators[0]]
    names = [s for s in sides if isinstance(s, ast.Name) and s.id == "__name__"]
    strings = [s for s in sides if isinstance(s, ast.Constant) and s.value == "__main__"]
    return len(names) == 1 and len(strings) == 1


def _called_name(call):
    func = call.func
    if isinstance(func, ast.Attribute):
        return func.attr
    if isinstance(func, ast.Name):
        return func.id
    return None


def _starts_local_processes(call):
    name = _called_name(call)
    if name in _STARTS_PROCESSES:
        # Client("scheduler:8786") joins a cluster that runs elsewhere.
        joins = call.args or any(k.arg in ("address", "scheduler_file") for k in call.keywords)
        return name == "LocalCluster" or not joins
    return name in _COMPUTES_ON_PROCESSES


def unguarded_start(source, filename="<script>"):
    """The line of the first statement at the top level of source (outside
    `if __name__ == "__main__":`, functions and classes) that starts local
    worker processes, or None."""
    try:
        tree = ast.parse(source, filename)
    except (SyntaxError, ValueError):
        return None
    for node in tree.body:
        if isinstance(node, ast.If) and _is_main_guard(node.test):
            continue
        if isinstance(node, (ast.FunctionDef, ast.AsyncFunctionDef, ast.ClassDef)):
            continue
        for sub in ast.walk(node):
            if isinstance(sub, ast.Call) and _starts_local_processes(sub):
                return sub.lineno
    return None


def check_main_script():
    """Raises RuntimeError when the running script starts local worker
    processes at its top level."""
    main = sys.modules.get("__main__")
    path = getattr(main, "__file__", None)
    if not path or not path.endswith(".py"):
        return  # an interactive session, python -c, a notebook
    try:
        with open(path, encoding="utf-8") as file:
            source = file.read()
    except (OSError, UnicodeError):
        return
    line = unguarded_start(source, path)
    if line is not None:
        raise RuntimeError(
            f"{path}, line {line}, starts Dask worker processes (Client(), LocalCluster() or a bag's "
            "compute()) at the top level of the script. Each worker process begins by importing the "
            "script again, so each would start workers of its own, and the script would wait for them "
            'forever. Put that code, and what uses the cluster, under `if __name__ == "__main__":` '
            "(see examples/dask_convert.py in the lumtrax sources, and docs/python.md).")
