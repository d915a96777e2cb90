#pragma once
// The player-maker jobs: fill the player maker's option records from a task's customisation
// and ask it to generate the SWF. Three jobs: the player of one output, the playlist player of
// a slide group, and the wizard's preview player.

#include <QString>

#include "engines/player_maker/player_maker.h"

namespace rm {

struct CustomSettings;

// What the jobs need from outside the settings record. The worker copies these on the
// user-interface thread before a run starts (the wizard's height field lives there).
struct PlayerJobContext {
    QString programFolder;   // the program folder; empty: the folder of the running executable
    int wizardHeight = 0;    // value of the wizard's "height" field (credit top); 0: S Height
    int previewWidth = 0;    // the wizard's browser control (preview credit scaling);
    int previewHeight = 0;   //   0: 320 x 240
    // Where the wizard's preview player and its sample copies go: a folder of the running
    // instance (the program folder may be shared and read-only). Empty: programFolder + "temp/".
    QString previewFolder;
    // The wizard's preview plays this video (a clip of the task's own, made in the preview folder)
    // and shows this picture before it plays; empty: the program's sample.
    QString previewVideo;
    QString previewPicture;
    int previewVideoWidth = 0;  // the clip's frame size
    int previewVideoHeight = 0;
};

// The player of one output. stem: output path without extension; name: output name without
// folder; lengthSeconds: the video's length (decoration length). Returns generateFLVPlayer's
// result, or FPM_ERR_WRITE when the decoration picture could not be copied beside it (no SWF is
// left then). browserVideo: the file beside it that browsers play themselves (the MP4 output or
// the MP4 copy of an H.264 FLV), name only; with one, the player's HTML5 design file is written
// too, for the page to show the same player without Flash.
int MakeOutputPlayer(const CustomSettings& s, const QString& stem, const QString& name,
                     int lengthSeconds, const PlayerJobContext& ctx = {},
                     const QString& browserVideo = {});

// Starts a slide group's playlist player at folderStem + ".swf"; *group receives the group,
// which the caller keeps (AddSlideMedia per member, then the overlay length and
// generateFLVPlayer). Returns false when the decoration picture could not be copied beside it.
bool BeginSlidePlayer(const CustomSettings& s, const QString& folderStem, const QString& name,
                      player_maker::FPMUIGroupOption** group, const PlayerJobContext& ctx = {});
void AddSlideMedia(const CustomSettings& s, const QString& memberStem, const QString& memberName,
                   player_maker::FPMUIGroupOption* group, const QString& browserVideo = {});
// The worker's last step for a slide group: total length into the decoration, then generate
// when the settings ask for an SWF. Returns generateFLVPlayer's result (0 also when skipped).
// The group stays the caller's: release it with player_maker::freeFPMUIGroupOption(&group).
int FinishSlidePlayer(const CustomSettings& s, player_maker::FPMUIGroupOption* group,
                      int totalLengthSeconds);

// The wizard's preview: writes "orvane.swf" into the preview folder and returns its path. It
// plays ctx.previewVideo when given, else the sample.
QString MakePreviewPlayer(const CustomSettings& s, const PlayerJobContext& ctx = {});

// The record rules, exposed for the jobs' tests.
struct CreditPlacement {
    int size = 0;
    int left = 0;
    int top = 0;
};
// Real outputs and slide players: size = fontSize x dscale; top centred in wizardHeight,
// falling back to fontY when negative.
CreditPlacement OutputCreditPlacement(int fontSize, int fontX, int fontY, double dscale,
                                      int wizardHeight);
// Preview: size scaled by the output area over the preview area; top = fontY.
CreditPlacement PreviewCreditPlacement(int fontSize, int fontX, int fontY, int width, int height,
                                       int previewWidth, int previewHeight);

// The common player part: generate and player options, credits or preloader.
void FillCommonPlayerPart(const CustomSettings& s, player_maker::FPMUIGroupOption* group,
                          bool preview, const PlayerJobContext& ctx);
// The decoration of a real output; copies the picture beside the output for type 2 (false when
// that copy failed).
bool FillDecoration(const CustomSettings& s, player_maker::FPMUIGroupOption* group,
                    const QString& jobFolder, int lengthSeconds);

} // namespace rm
