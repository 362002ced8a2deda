"""I componenti della suite Tarv da Python, a late binding.

    import tarv
    m = tarv.Dispatch("TarvUtility.Math")
    m.Round(2.675, 2, 1)            # 2.68

Dispatch crea la classe registrata; metodi e proprietà si raggiungono per nome (help(m)
li elenca dalla libreria dei tipi). ByRef passa un valore per riferimento; gli errori sono
ComError, con il numero di errore di Basic; DispatchWithEvents e WithEvents collegano i
gestori OnX agli eventi X.
"""

import os as _os
import sys as _sys

# The component libraries that the module loads bind to its copy of the component layer, as
# they do in the suite's own programs.
_flags = _sys.getdlopenflags()
_sys.setdlopenflags(_flags | _os.RTLD_GLOBAL)
try:
    from . import _tarv
finally:
    _sys.setdlopenflags(_flags)

from ._tarv import (ByRef, ComError, Dispatch, DispatchWithEvents, MemberNotFoundError,
                    Object, WithEvents)

__all__ = ["ByRef", "ComError", "Dispatch", "DispatchWithEvents", "MemberNotFoundError",
           "Object", "WithEvents"]
