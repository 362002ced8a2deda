"""python3 -m tarv: le operazioni di tarv-call da Python."""

import sys

USAGE = """Uso: python3 -m tarv ID OPERAZIONE...
     python3 -m tarv ID --help
Crea un oggetto dall'identificatore di programma (TarvUtility.Math) o di classe
({...}) e vi applica le operazioni nell'ordine, come tarv-call:
  Nome=valore        imposta una proprietà
  Nome               legge una proprietà o chiama un metodo senza argomenti
  Nome(arg, ...)     chiama un metodo; un argomento vuoto è omesso
Valori come in C: 1.005, -2, 1e-07, 0xFF, "testo" (con \\" \\\\ \\n \\r \\t \\0),
True, False, Null, e i membri delle enumerazioni per nome (CURRENT_USER).
Ogni risultato è stampato su una riga; un argomento per riferimento cambiato
dal metodo segue come "nome -> valore".
Python da console è un host da console: i messaggi vanno sul terminale e i membri
che aprono una finestra non sono disponibili.
"""


def main(argv):
    import tarv

    if not argv or argv[0] in ("--help", "-h"):
        (sys.stdout if argv else sys.stderr).write(USAGE)
        return 0 if argv else 2
    if "--help" in argv[1:] or "-h" in argv[1:]:
        import pydoc
        try:
            obj = tarv.Dispatch(argv[0])
        except tarv.ComError as e:
            print(e, file=sys.stderr)
            return 1
        sys.stdout.write(pydoc.render_doc(obj, renderer=pydoc.plaintext))
        return 0
    return tarv._tarv._run(argv[0], list(argv[1:]))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
