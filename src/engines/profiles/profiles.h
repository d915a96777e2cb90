#pragma once
// The profile reader: every *.xml file of a folder (in file-name order; a file may hold several
// <profile> elements) becomes one Profile of the catalogue. Format of a file:
//
//   <profiles>
//     <profile name="flv_normal" display="Normal quality(Flash Video Files)"
//              format="flv" extension="flv" argument="0">
//       <param key="vcodec" kind="text">
//         <value>flv1</value>
//       </param>
//       <param key="b" kind="integer">
//         <value>400</value><value default="true">800</value>
//       </param>
//       ...
//     </profile>
//   </profiles>
//
// kind is "integer" (1), "text" (2) or "real" (3). The default value is the one marked
// default="true" (the first when none is marked). Texts longer than a field are cut.

#include <cstdint>

namespace rm::profiles {

enum ValueKind : int32_t { kKindInteger = 1, kKindText = 2, kKindReal = 3 };

struct ProfileValue {
    char Text[516] = {};           // a decimal number, a codec name, a frame size "320x240", ...
};

struct ProfileParam {
    char Key[648] = {};            // "ar", "ac", "acodec", "ab", "vcodec", "b", "r", "s", ...
    int32_t Kind = 0;              // ValueKind
    ProfileValue* Values = nullptr;
    int32_t ValueCount = 0;
    int32_t DefaultIndex = 0;      // always < ValueCount when ValueCount > 0
};

struct Profile {
    char Name[556] = {};           // identity stored with a task ("ProfileName")
    char* DisplayName = nullptr;   // shown in the wizard's profile list (never null once read)
    char FormatName[128] = {};     // muxer name for the converter
    char Extension[136] = {};      // output file extension without the dot
    int32_t FormatArgument = 0;    // handed to the converter with the format name
    ProfileParam* Params = nullptr;
    int32_t ParamCount = 0;
};

struct ProfileCatalogue {
    Profile* Profiles = nullptr;
    int32_t Count = 0;
};

// Reads every profile of the folder (a trailing separator is optional) into the catalogue,
// replacing what it held. A missing or empty folder gives no profiles; a file that is not a
// well-formed profile file is skipped. Returns the number of profiles.
int32_t praseXMLFolder(const char* folder, ProfileCatalogue* catalogue);

// Frees what praseXMLFolder put into the catalogue and empties it.
void ReleaseCatalogue(ProfileCatalogue* catalogue);

// The parameter of a profile with that key, or null.
const ProfileParam* FindParam(const Profile& profile, const char* key);

} // namespace rm::profiles
