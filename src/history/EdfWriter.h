#pragma once

#include "history/RecordingStream.h"

#include <optional>
#include <string>
#include <vector>

namespace velorin {

// Who the recording is of, from the profile settings.
struct PatientProfile {
    std::string code;           // patient identifier; empty when unknown
    std::string name;           // empty when unknown
    std::optional<std::int64_t> gender; // 0 male, any other number female; none is unknown
};

// EDF+C: one "ECG" signal at 125 Hz in 1-second data records, the decoder's values as they are
// (0..1023 both digital and physical, "counts", since the sensor's gain is unknown), and an
// "EDF Annotations" signal with the marked events and one "Short packet" per short packet.
//
// The start fields hold whole seconds of local time; the milliseconds go into the first record's
// time-keeping annotation. A last partial record repeats the last sample, and an annotation marks
// where the padding begins.
std::string edfFile(const RecordingStream& stream, const PatientProfile& patient,
                    std::vector<std::string>& warnings);

// The patient field, "code sex birthdate name" with "X" for what is unknown: header fields take
// printable ASCII only, so spaces and control bytes become "_" and each other character "?".
std::string edfPatientField(const PatientProfile& patient);

} // namespace velorin
