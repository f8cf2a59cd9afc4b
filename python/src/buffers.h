// Bytes-like arguments, read where they lie: a bytes or bytearray object (or
// a memoryview that ends where one ends) is followed by a 00, the byte the
// conversions may read after a text, so it is converted without a copy.
#ifndef LUMTRAX_PYTHON_BUFFERS_H
#define LUMTRAX_PYTHON_BUFFERS_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "common.h"

namespace lumtrax_python {

// A text to convert, as it lies in a bytes-like object.
struct Text {
    std::string_view bytes;
    bool terminated = false;  // a 00 follows it

    lumtrax::After after() const { return terminated ? lumtrax::After::kNul : lumtrax::After::kAnything; }
};

// The buffers taken from bytes-like objects, released together.
class Buffers {
public:
    Buffers() = default;
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;
    ~Buffers() {
        for (Py_buffer& view : views_) PyBuffer_Release(&view);
    }

    // The text of object; what names it in a message ("data", "record 3").
    Text Take(PyObject* object, const char* what, std::size_t index = SIZE_MAX);

private:
    std::vector<Py_buffer> views_;
};

}  // namespace lumtrax_python

#endif  // LUMTRAX_PYTHON_BUFFERS_H
