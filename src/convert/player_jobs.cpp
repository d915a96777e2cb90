#include "convert/player_jobs.h"

namespace rm {

using namespace player_maker;

void MakeOutputPlayer(const CustomSettings&, const QString&, const QString&, int, const PlayerJobContext&) {}
void BeginSlidePlayer(const CustomSettings&, const QString&, const QString&, FPMUIGroupOption** group,
                      const PlayerJobContext&)
{
    if (group)
        *group = nullptr;
}
void AddSlideMedia(const CustomSettings&, const QString&, const QString&, FPMUIGroupOption*) {}
int FinishSlidePlayer(const CustomSettings&, FPMUIGroupOption*, int) { return 0; }
QString MakePreviewPlayer(const CustomSettings&, const PlayerJobContext&) { return {}; }
CreditPlacement OutputCreditPlacement(int, int, int, double, int) { return {}; }
CreditPlacement PreviewCreditPlacement(int, int, int, int, int, int, int) { return {}; }
void FillCommonPlayerPart(const CustomSettings&, FPMUIGroupOption*, bool, const PlayerJobContext&) {}
void FillDecoration(const CustomSettings&, FPMUIGroupOption*, const QString&, int) {}

} // namespace rm
