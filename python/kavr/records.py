"""Typed, read-only records built from the fields kavrctl serve describes,
so that no field list is written out here."""

import collections

_CONVERT = {
    "bool": bool,
    "int32": int,
    "int16": int,
    "uint8": int,
    # Not-finite floats arrive as "NaN", "Infinity" and "-Infinity".
    "float": float,
}


class FieldInfo(collections.namedtuple("FieldInfo", "name type writable min max")):
    """A record field: its name, type name, whether the set methods take it,
    and its range (None for flags)."""


def record_type(class_name, described):
    """A namedtuple class with one attribute per field described, and a
    ``fields`` mapping of name to FieldInfo."""
    names = [row["name"] for row in described]
    cls = collections.namedtuple(class_name, names)
    converters = [_CONVERT.get(row["type"], lambda value: value) for row in described]
    cls.fields = {row["name"]: FieldInfo(row["name"], row["type"], row.get("writable", False),
                                         row.get("min"), row.get("max")) for row in described}

    def from_json(obj, _make=cls._make, _pairs=tuple(zip(names, converters))):
        return _make([convert(obj[name]) for name, convert in _pairs])

    cls.from_json = staticmethod(from_json)
    cls.__doc__ = "A %s record; fields: %s" % (class_name, ", ".join(names))
    return cls
