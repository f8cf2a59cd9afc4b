// Uses the installed safe C++ interface: out to the EBCDIC host code and back,
// and an error as a value.
#include <cstdio>
#include <string>

#include <lumtrax.hpp>

int main() {
    const std::string sjis("\x41\x88\x9F\x00\x0D\x0A", 6);  // with a 00 inside
    const lumtrax::Result host = lumtrax::Convert(lumtrax::Conversion::kSjisToEbcdic, sjis);
    if (!host || host.text != std::string("\xC1\x2B\xB0\xA1\x2C\x00\x0D\x25", 8)) {
        std::printf("cxx_consumer: wrong conversion: %s\n", host.error.message().c_str());
        return 1;
    }
    const lumtrax::Result back = lumtrax::Convert(lumtrax::Conversion::kEbcdicToSjis, host.text);
    if (!back || back.text != sjis || back.gaiji != lumtrax::GaijiStatus::kNone) {
        std::printf("cxx_consumer: wrong round trip\n");
        return 1;
    }
    const lumtrax::Result bad = lumtrax::Convert(static_cast<lumtrax::Conversion>(8), sjis);
    if (bad.error != lumtrax::Errc::kUnassignedType) {
        std::printf("cxx_consumer: no error for type 8\n");
        return 1;
    }
    std::printf("cxx_consumer: ok (lumtrax %s)\n", lumtrax::Version());
    return 0;
}
