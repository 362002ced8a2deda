# Typed stub of the tarv package: the suite's components late-bound from Python.
from typing import Any, Iterator, TypeVar

_H = TypeVar("_H")

class ComError(Exception):
    """The error of a call: its Basic number, result code, description and source."""
    number: int
    hresult: int
    description: str
    source: str

class MemberNotFoundError(ComError, AttributeError):
    """Error 438: the object has no such property or method."""

class ByRef:
    """A by-reference argument: after the call, .value holds what the member wrote."""
    value: Any
    def __init__(self, value: Any = None) -> None: ...

class Object:
    """An object made by Dispatch: methods and properties reached by name."""
    def __getattr__(self, name: str) -> Any: ...
    def __setattr__(self, name: str, value: Any) -> None: ...
    def __iter__(self) -> Iterator[Any]: ...

def Dispatch(progid_or_clsid: str | Object) -> Any: ...
def DispatchWithEvents(progid_or_clsid: str | Object, handler_class: type[_H]) -> Any: ...
def WithEvents(obj: str | Object, handler_class: type[_H]) -> _H: ...
