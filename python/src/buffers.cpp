#include "buffers.h"

namespace lumtrax_python {
namespace {

// True when a 00 follows end: the end of a bytes or bytearray object's data.
bool FollowedByNul(PyObject* exporter, const char* end) {
    if (exporter == nullptr) return false;
    if (PyBytes_Check(exporter)) return end == PyBytes_AS_STRING(exporter) + PyBytes_GET_SIZE(exporter);
    if (PyByteArray_Check(exporter)) {
        return end == PyByteArray_AS_STRING(exporter) + PyByteArray_GET_SIZE(exporter);
    }
    return false;
}

[[noreturn]] void Fail(PyObject* object, const char* what, std::size_t index, const char* hint) {
    std::string name = what;
    if (index != SIZE_MAX) name += " " + std::to_string(index);
    Raise(types.argument, name + " must be a bytes-like object (bytes, bytearray, memoryview, mmap, ...), " + "not " +
                              TypeName(object) + hint);
}

}  // namespace

Text Buffers::Take(PyObject* object, const char* what, std::size_t index) {
    if (PyBytes_Check(object)) {  // immutable, and kept alive by the caller
        return {{PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object))}, true};
    }
    if (PyUnicode_Check(object)) {
        Fail(object, what, index, " (encode text with a codec, e.g. text.encode(\"lumtrax-ebcdic\"))");
    }
    // A buffer keeps a bytearray from being resized while it is read.
    Py_buffer view;
    if (PyObject_GetBuffer(object, &view, PyBUF_SIMPLE) != 0) {
        PyErr_Clear();
        Fail(object, what, index, "");
    }
    views_.push_back(view);
    const char* data = static_cast<const char*>(view.buf);
    const std::size_t size = static_cast<std::size_t>(view.len);
    PyObject* exporter = PyMemoryView_Check(object) ? PyMemoryView_GET_BASE(object) : object;
    return {{size == 0 ? "" : data, size}, FollowedByNul(exporter, data + size)};
}

}  // namespace lumtrax_python
