#include "result.h"

#include <structmember.h>

namespace lumtrax_python {
namespace {

// lumtrax.Result: the converted bytes and the gaiji status. A plain object
// of two fields, not a tuple and not tracked by the garbage collector
// (neither field can refer back to it): convert_many makes one a record, and
// a structseq or a class of pybind11 costs several times as much to make and
// to free. It unpacks, indexes, compares and hashes as the tuple (data, gaiji).
struct ResultObject {
    PyObject_HEAD PyObject* data;
    PyObject* gaiji;
};

// A Result, or nullptr with the Python error set; takes both references.
PyObject* MakeResult(PyObject* data, PyObject* gaiji) {
    auto* result = PyObject_New(ResultObject, types.result);
    if (result == nullptr) {
        Py_DECREF(data);
        Py_DECREF(gaiji);
        return nullptr;
    }
    result->data = data;
    result->gaiji = gaiji;
    return reinterpret_cast<PyObject*>(result);
}

}  // namespace

PyObject* NewResult(const char* data, std::size_t size, GaijiStatus gaiji) {
    PyObject* bytes = PyBytes_FromStringAndSize(data, static_cast<Py_ssize_t>(size));
    if (bytes == nullptr) return nullptr;
    PyObject* status = types.gaiji[static_cast<int>(gaiji)];
    Py_INCREF(status);
    return MakeResult(bytes, status);
}

namespace {

ResultObject* AsResult(PyObject* self) { return reinterpret_cast<ResultObject*>(self); }

PyObject* ResultAsTuple(PyObject* self) { return PyTuple_Pack(2, AsResult(self)->data, AsResult(self)->gaiji); }

PyObject* ResultNew(PyTypeObject*, PyObject* args, PyObject* kwargs) {
    static const char* names[] = {"data", "gaiji", nullptr};
    PyObject* data = nullptr;
    PyObject* gaiji = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "SO:Result", const_cast<char**>(names), &data, &gaiji)) {
        return nullptr;
    }
    PyObject* status = PyObject_CallOneArg(types.gaiji_status, gaiji);
    if (status == nullptr) return nullptr;
    Py_INCREF(data);
    return MakeResult(data, status);
}

void ResultDealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    Py_DECREF(AsResult(self)->data);
    Py_DECREF(AsResult(self)->gaiji);
    PyObject_Free(self);
    Py_DECREF(type);
}

PyObject* ResultRepr(PyObject* self) {
    return PyUnicode_FromFormat("lumtrax.Result(data=%R, gaiji=%R)", AsResult(self)->data, AsResult(self)->gaiji);
}

PyObject* ResultCompare(PyObject* self, PyObject* other, int op) {
    const bool result = PyObject_TypeCheck(other, types.result);
    if (!result && !PyTuple_Check(other)) Py_RETURN_NOTIMPLEMENTED;
    PyObject* mine = ResultAsTuple(self);
    PyObject* theirs = result ? ResultAsTuple(other) : (Py_INCREF(other), other);
    PyObject* answer = mine != nullptr && theirs != nullptr ? PyObject_RichCompare(mine, theirs, op) : nullptr;
    Py_XDECREF(mine);
    Py_XDECREF(theirs);
    return answer;
}

Py_hash_t ResultHash(PyObject* self) {
    PyObject* tuple = ResultAsTuple(self);
    if (tuple == nullptr) return -1;
    const Py_hash_t hash = PyObject_Hash(tuple);
    Py_DECREF(tuple);
    return hash;
}

Py_ssize_t ResultLength(PyObject*) { return 2; }

PyObject* ResultItem(PyObject* self, Py_ssize_t index) {
    if (index < 0 || index > 1) {
        PyErr_SetString(PyExc_IndexError, "Result index out of range");
        return nullptr;
    }
    PyObject* item = index == 0 ? AsResult(self)->data : AsResult(self)->gaiji;
    Py_INCREF(item);
    return item;
}

PyObject* ResultReduce(PyObject* self, PyObject*) {
    return Py_BuildValue("(O(OO))", Py_TYPE(self), AsResult(self)->data, AsResult(self)->gaiji);
}

PyMemberDef result_members[] = {
    {"data", T_OBJECT_EX, offsetof(ResultObject, data), READONLY, "the converted bytes"},
    {"gaiji", T_OBJECT_EX, offsetof(ResultObject, gaiji), READONLY, "what the conversion met of gaiji (GaijiStatus)"},
    {nullptr, 0, 0, 0, nullptr},
};
PyMethodDef result_methods[] = {
    {"__reduce__", ResultReduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};
PyType_Slot result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Result(data, gaiji): the outcome of one conversion.\n\n"
                                  "data is the converted bytes; gaiji a GaijiStatus: NONE (no gaiji met),\n"
                                  "CONVERTED (every gaiji converted by the gaiji server) or REPLACED (at\n"
                                  "least one unit replaced by the substitute, a black square). A Result\n"
                                  "unpacks and compares as the tuple (data, gaiji):\n"
                                  "data, gaiji = lumtrax.convert(...).")},
    {Py_tp_new, reinterpret_cast<void*>(ResultNew)},
    {Py_tp_dealloc, reinterpret_cast<void*>(ResultDealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(ResultRepr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(ResultCompare)},
    {Py_tp_hash, reinterpret_cast<void*>(ResultHash)},
    {Py_sq_length, reinterpret_cast<void*>(ResultLength)},
    {Py_sq_item, reinterpret_cast<void*>(ResultItem)},
    {Py_tp_members, result_members},
    {Py_tp_methods, result_methods},
    {0, nullptr},
};
PyType_Spec result_spec = {"lumtrax.Result", sizeof(ResultObject), 0, Py_TPFLAGS_DEFAULT, result_slots};

}  // namespace

PyTypeObject* MakeResultType() { return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&result_spec)); }

}  // namespace lumtrax_python
