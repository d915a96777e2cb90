#pragma once
// The output profile catalogue of the program: read once from the "profile" folder beside the
// executable, listed in the wizard (followed by "Custom"), applied to the two process-wide
// settings records at start-up, and mapped to and from a task's CustomSettings.
//
// The wizard's lists are reached through ProfileValueLists, so the wizard binds its combo boxes
// and tests use plain data. No index that a list reports is ever used to read past the
// catalogue or past a parameter's values.

#include <string>
#include <vector>

#include "engines/profiles/profiles.h"
#include "model/custom_settings.h"

namespace rm {

// The wizard's lists: the profile list and the seven value lists.
enum class ProfileList {
    Profile,        // comProfile
    SampleRate,     // cmbSampleRate  ("ar")
    AudioChannel,   // cmbAudioChannel ("ac")
    AudioEncoder,   // cmbAudioEncoder ("acodec")
    AudioBitrate,   // cmbAudioBitrate ("ab")
    VideoEncoder,   // cmbVideoEncoder ("vcodec")
    VideoBitrate,   // cmbVideoBitrate ("b")
    FrameRate,      // cmbFrameRate ("r")
};

class ProfileValueLists {
public:
    virtual ~ProfileValueLists() = default;
    virtual void clear(ProfileList list) = 0;
    virtual void add(ProfileList list, const std::string& text) = 0;
    virtual void select(ProfileList list, int index) = 0;
    virtual int selected(ProfileList list) const = 0;  // -1 when nothing is selected
};

// Plain-data lists (tests, headless callers).
class PlainProfileLists : public ProfileValueLists {
public:
    struct List {
        std::vector<std::string> items;
        int selected = -1;
    };
    void clear(ProfileList l) override { at(l) = List{}; }
    void add(ProfileList l, const std::string& t) override { at(l).items.push_back(t); }
    void select(ProfileList l, int i) override { at(l).selected = i; }
    int selected(ProfileList l) const override { return m_lists[int(l)].selected; }
    List& at(ProfileList l) { return m_lists[int(l)]; }
    const List& at(ProfileList l) const { return m_lists[int(l)]; }

private:
    List m_lists[8];
};

inline constexpr const char* kStartupProfileDisplay = "Normal quality(Flash Video Files)";
inline constexpr const char* kCustomProfileEntry = "Custom";

// The process-wide catalogue (empty until read).
const profiles::ProfileCatalogue& Catalogue();

// Reads appDir + "/profile/" once per process (later calls do nothing). Returns the count.
int ReadProfileCatalogue(const std::string& appDir);
// Reads another folder in place of the catalogue (tests, and re-reading on purpose).
int ReadProfileCatalogueFrom(const std::string& folder);

// Display names in catalogue order, then "Custom".
std::vector<std::string> ProfileListEntries();

// Index of the profile whose Name equals name, or -1.
int FindProfileByName(const std::string& name);
// Index of the profile whose display name equals display, or -1.
int FindProfileByDisplay(const std::string& display);

// Clears lists' profile list, adds every display name and "Custom", selects the start-up profile
// ("Normal quality(Flash Video Files)", else the first profile) and applies it. Returns the
// selected index, or -1 when the catalogue is empty (both records are then reset to the
// defaults only).
int FillProfileList(ProfileValueLists& lists);

// The start-up step without lists: applies the start-up profile (or the first) to both
// process-wide records, or resets them when there is none. Returns the index applied or -1.
int ApplyStartupProfile();

// Resets both process-wide records (CurrentCustomSettings, ProfileDefaultSettings) and fills
// their profile group from the profile's defaults. An index outside the catalogue only resets.
void ApplyProfileDefaults(int index);

// The profile group of one record from a profile's defaults (name, format, extension, argument
// and each known key's default value). Nothing happens for an index outside the catalogue.
void ApplyProfileTo(int index, CustomSettings& s);

// Fills the seven value lists with the profile's values and selects each default.
void ShowProfileChoices(int index, ProfileValueLists& lists);

// Selects the task's profile in the profile list and, in each value list, the first value equal
// to the stored one; "Custom" when the task's IsCustom is set. Returns the profile index found
// (-1: none; the value lists are then left as they are).
int ShowTaskValues(const CustomSettings& task, ProfileValueLists& lists);

// Writes the values selected in the value lists back into the task (parameters whose kind is
// not the expected one are skipped), then the profile's name, format, extension and argument.
// An index past the last profile (for example "Custom") reads the last profile; a negative
// index or an empty catalogue writes nothing. Returns the profile index used, or -1.
int WriteChosenValues(int index, CustomSettings& task, const ProfileValueLists& lists);

// Frame size text "WxH": the text before the first "x" is the width, after it the height.
// False (both 0) when there is no "x".
bool ParseFrameSize(const char* text, int& width, int& height);

} // namespace rm
