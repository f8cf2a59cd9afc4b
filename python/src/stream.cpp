#include "stream.h"

#include <optional>
#include <string>
#include <string_view>

#include "buffers.h"

namespace lumtrax_python {
namespace {

// lumtrax::StreamConverter, with the bytes it holds and the text of its last
// call kept beside it: where the first replacement lies is found in them.
class StreamCore {
public:
    StreamCore(Conversion conversion, const Options& options, std::size_t piece_size)
        : conversion_(conversion), options_(options), stream_(conversion, options, piece_size) {}

    // Feeds bytes (or, with finish, ends the text) and appends to out.
    std::error_code Convert(std::string_view bytes, bool finish, std::string& out) {
        if (finished_) Reset();
        text_offset_ += region_;
        pending_.erase(0, region_);
        pending_.append(bytes.data(), bytes.size());
        const std::error_code error = finish ? stream_.Finish(out) : stream_.Feed(bytes, out);
        if (error) return error;
        region_ = pending_.size() - stream_.held();
        finished_ = finish;
        if (!first_replaced_ && stream_.gaiji() == GaijiStatus::kReplaced) {
            const std::optional<lumtrax::ByteRange> unit =
                lumtrax::FirstReplaced(conversion_, std::string_view(pending_).substr(0, region_), options_);
            first_replaced_ = text_offset_ + (unit ? unit->offset : 0);
        }
        return {};
    }

    void Reset() {
        stream_.Reset();
        pending_.clear();
        region_ = 0;
        text_offset_ = 0;
        first_replaced_.reset();
        finished_ = false;
    }

    GaijiStatus gaiji() const { return stream_.gaiji(); }
    const lumtrax::ByteRange& error_place() const { return stream_.error_place(); }
    std::optional<std::size_t> first_replaced() const { return first_replaced_; }
    // The bytes fed and not yet converted.
    std::string_view held() const { return std::string_view(pending_).substr(region_); }
    bool finished() const { return finished_; }

private:
    Conversion conversion_;
    Options options_;
    lumtrax::StreamConverter stream_;
    std::string pending_;  // the last call's text, then the bytes held
    std::size_t region_ = 0;
    std::size_t text_offset_ = 0;  // of pending_[0] in the whole text
    std::optional<std::size_t> first_replaced_;
    bool finished_ = false;
};

// What Feed and Finish of a converter share: the bytes taken from
// data (none for Finish), converted by convert(bytes, out) with the GIL
// released when they are many, by one thread at a time.
template <typename Convert>
std::string ConvertReleasingGil(bool& busy, PyObject* data, Convert&& convert, std::error_code& error) {
    InUse in_use(busy);
    Buffers buffers;
    const Text text = data != nullptr ? buffers.Take(data, "data") : Text{};
    std::string out;
    std::optional<py::gil_scoped_release> unlocked;
    if (text.bytes.size() >= kReleaseGilAt) unlocked.emplace();
    error = convert(text.bytes, out);
    return out;
}

py::object OptionalInt(const std::optional<std::size_t>& value) {
    return value ? py::object(py::int_(*value)) : py::object(py::none());
}

class Stream {
public:
    Stream(py::handle conversion, py::handle line_end, py::handle lrss, py::handle shift, py::handle mapping,
           py::handle errors, std::size_t piece_size)
        : conversion_(ParseConversion(conversion)),
          core_(conversion_, ParseOptions({line_end, lrss, shift, mapping, errors}), piece_size) {}

    py::bytes Feed(py::handle data) { return Next(data.ptr(), false); }
    py::bytes Finish() { return Next(nullptr, true); }
    void Reset() {
        InUse in_use(busy_);
        core_.Reset();
    }
    py::object gaiji() const { return GaijiMember(core_.gaiji()); }
    py::object first_replaced() const { return OptionalInt(core_.first_replaced()); }
    std::size_t held_size() const { return core_.finished() ? 0 : core_.held().size(); }

private:
    py::bytes Next(PyObject* data, bool finish) {
        std::error_code error;
        const std::string out = ConvertReleasingGil(
            busy_, data, [&](std::string_view bytes, std::string& to) { return core_.Convert(bytes, finish, to); }, error);
        if (IsTextError(error)) RaiseTextError(error, "the text", core_.error_place(), out, py::none());
        if (error) RaiseError(error, conversion_, "a part of the text without a safe cut", core_.held().size());
        return Bytes(out);
    }

    Conversion conversion_;
    StreamCore core_;
    bool busy_ = false;
};

// A file converted as the lumtrax command converts it (lumtrax::SourceCutter
// and lumtrax::ConvertBatch, which the command runs on its threads): whole,
// each line in its own call, or each record of a fixed size; and a tally of
// what the calls met. Used by lumtrax.dask.
class FileConverter {
public:
    FileConverter(py::handle conversion, py::handle line_end, py::handle lrss, py::handle shift, py::handle mapping,
                  py::handle errors, bool lines, std::size_t record)
        : conversion_(ParseConversion(conversion)),
          options_(ParseOptions({line_end, lrss, shift, mapping, errors})),
          framing_(lines        ? lumtrax::Framing::kLines
                   : record > 0 ? lumtrax::Framing::kRecords
                                : lumtrax::Framing::kWhole),
          cutter_(conversion_, options_, {framing_, record, lumtrax::SourceOptions().batch_size}) {
        if (lines && record > 0) Raise(types.argument, "lines and record exclude each other");
    }

    py::bytes Feed(py::handle data) { return Next(data.ptr(), false); }
    py::bytes Finish() { return Next(nullptr, true); }

    py::dict Tally() const {
        // A whole file is one call, whatever pieces it was converted in.
        const bool whole = framing_ == lumtrax::Framing::kWhole;
        py::dict tally;
        tally["calls"] = whole ? 1 : tally_.calls;
        tally["converted"] = whole ? (tally_.gaiji == GaijiStatus::kConverted ? 1 : 0) : tally_.converted;
        tally["replaced"] = whole ? (tally_.gaiji == GaijiStatus::kReplaced ? 1 : 0) : tally_.replaced;
        tally["first_replaced"] =
            tally_.first_replaced ? py::object(py::int_(tally_.first_replaced->bytes.offset)) : py::object(py::none());
        tally["ends_inside"] = tally_.ends_inside;
        tally["gaiji"] = GaijiMember(tally_.gaiji);
        return tally;
    }

private:
    py::bytes Next(PyObject* data, bool finish) {
        std::error_code error;
        const std::string out = ConvertReleasingGil(
            busy_, data, [&](std::string_view bytes, std::string& to) { return Convert(bytes, finish, to); }, error);
        if (error == lumtrax::Errc::kTooLong) {
            const lumtrax::Place& place = cutter_.error_place();
            const std::string what = framing_ == lumtrax::Framing::kLines ? "line " + std::to_string(place.call)
                                                                          : "a part of the file without a safe cut";
            RaiseError(error, conversion_, what, static_cast<std::size_t>(place.bytes.length));
        }
        if (IsTextError(error)) {
            const std::string what = failure_.call > 0 ? (framing_ == lumtrax::Framing::kLines ? "line " : "record ") +
                                                             std::to_string(failure_.call)
                                                       : "the file";
            RaiseTextError(error, what, failure_.bytes, out, failure_.call > 0 ? py::object(py::int_(failure_.call)) : py::object(py::none()));
        }
        if (error) RaiseError(error, conversion_, "the file", 0);
        return Bytes(out);
    }

    // The batches that the bytes complete, converted in order.
    std::error_code Convert(std::string_view bytes, bool finish, std::string& out) {
        cutter_.input().append(bytes.data(), bytes.size());
        std::error_code error;
        while (cutter_.Next(batch_, finish, error)) {
            lumtrax::Tally tally;
            if (const std::error_code failed =
                    lumtrax::ConvertBatch(conversion_, options_, batch_, result_, tally, nullptr, &failure_)) {
                out += result_;  // the text before the failure
                return failed;
            }
            if (tally_.replaced == 0 && tally.replaced > 0) {
                lumtrax::LocateFirstReplaced(conversion_, options_, batch_, tally);
            }
            tally_.Add(tally);
            out += result_;
        }
        return error;
    }

    Conversion conversion_;
    Options options_;
    lumtrax::Framing framing_;
    lumtrax::SourceCutter cutter_;
    lumtrax::Batch batch_;
    std::string result_;
    lumtrax::Tally tally_;
    lumtrax::Place failure_;
    bool busy_ = false;
};

}  // namespace

void AddStreams(py::module_& m) {
    py::class_<Stream>(m, "Stream",
                       "Stream(conversion, *, line_end='keep', lrss=False, shift=True, mapping='cp932',\n"
                       "       errors='strict', piece_size=1048576)\n--\n\n"
                       "Converts a text that comes in pieces of any size, with exactly the\n"
                       "bytes and status of one call over the whole text: feed() returns what\n"
                       "can be converted so far, finish() the rest. It converts a part once\n"
                       "about piece_size bytes are held and a safe cut is found in them (no\n"
                       "character, shift sequence, escape or CR LF split, no run of double-byte\n"
                       "characters open); a text without such cuts is held until it has one.\n"
                       "A text longer than one call takes converts this way when it has cuts.\n"
                       "After finish(), the next feed() begins a new text. The arguments are\n"
                       "those of convert(); a TextError names its bytes by their offsets in\n"
                       "the whole text, and .partial holds what the call converted before them.\n"
                       "After an error, reset() begins a new text.")
        .def(py::init<py::handle, py::handle, py::handle, py::handle, py::handle, py::handle, std::size_t>(),
             py::arg("conversion"), py::kw_only(), py::arg("line_end") = "keep", py::arg("lrss") = false,
             py::arg("shift") = true, py::arg("mapping") = "cp932", py::arg("errors") = "strict",
             py::arg("piece_size") = lumtrax::StreamConverter::kDefaultPieceSize)
        .def("feed", &Stream::Feed, py::arg("data"),
             "feed(data)\n--\n\nTakes the next bytes of the text; returns the bytes converted so far.")
        .def("finish", &Stream::Finish, "finish()\n--\n\nEnds the text: converts the bytes held and returns them.")
        .def("reset", &Stream::Reset, "reset()\n--\n\nForgets the text, its status and any bytes held.")
        .def_property_readonly("gaiji", &Stream::gaiji, "The GaijiStatus of the text converted so far.")
        .def_property_readonly("first_replaced", &Stream::first_replaced,
                               "The offset in the text of the first unit replaced by the substitute, or None.")
        .def_property_readonly("held", &Stream::held_size, "How many bytes are fed and not yet converted.");

    py::class_<FileConverter>(m, "_FileConverter", "A file converted as the lumtrax command converts it, with a tally.")
        .def(py::init<py::handle, py::handle, py::handle, py::handle, py::handle, py::handle, bool, std::size_t>(),
             py::arg("conversion"), py::kw_only(), py::arg("line_end") = "keep", py::arg("lrss") = false,
             py::arg("shift") = true, py::arg("mapping") = "cp932", py::arg("errors") = "strict",
             py::arg("lines") = false, py::arg("record") = 0)
        .def("feed", &FileConverter::Feed, py::arg("data"))
        .def("finish", &FileConverter::Finish)
        .def("tally", &FileConverter::Tally);
}

}  // namespace lumtrax_python
