#include "engines/player_maker/player_maker.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>

namespace rm::player_maker {

// The option records keep the maker's field order; where no pointer comes first, the natural
// layout even keeps its offsets.
static_assert(offsetof(FPMUIGenerateOption, IsGeneralHtml) == 16);
static_assert(offsetof(FPMUIGenerateOption, Group) == 24);
static_assert(offsetof(FPMUIPlayerOption, FrameRate) == 12);
static_assert(offsetof(FPMUIPlayerOption, SkinFile) == 16);
static_assert(offsetof(FPMUIPlayerOption, IsSkinAutoHide) == 1040);
static_assert(offsetof(FPMUIPlayerOption, BackgroundRed) == 1056);
static_assert(offsetof(FPMUIPlayerOption, PreloaderFile) == 1068);
static_assert(offsetof(FPMUIPlayerOption, EffectFile) == 2092);
static_assert(offsetof(FPMUIPlayerOption, IsHideAll) == 3120);
static_assert(offsetof(FPMUIPlayerOption, IsHidePlayList) == 3152);
static_assert(offsetof(FPMUIPlayerOption, IsAutoPlay) == 3160);
static_assert(offsetof(FPMUIMediaOption, VideoFile) - offsetof(FPMUIMediaOption, Next) == sizeof(void*));
static_assert(offsetof(FPMUIOverlayADOption, Target) - offsetof(FPMUIOverlayADOption, URL) == 1024);
static_assert(offsetof(FPMUIOverlayADOption, X) - offsetof(FPMUIOverlayADOption, Target) == 12);
static_assert(offsetof(FPMUIInsertAdOption, BackgroundRed) - offsetof(FPMUIInsertAdOption, FontSize) == 4124 - 3076);

namespace {
std::mutex g_prefixMutex;
std::string g_prefix;
thread_local std::string t_lastError;
} // namespace

void setFilePrefixPath(const char* path)
{
    std::lock_guard lock(g_prefixMutex);
    g_prefix = path ? path : "";
}

std::string filePrefixPath()
{
    std::lock_guard lock(g_prefixMutex);
    return g_prefix;
}

void copyFPMText(char* dst, std::size_t capacity, const std::string& text)
{
    if (!dst || capacity == 0)
        return;
    std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(dst, text.data(), n);
    dst[n] = 0;
}

FPMUIGroupOption* createFPMUIGroupOption() { return new FPMUIGroupOption(); }
FPMUIGenerateOption* createFPMUIGenerateOption() { return new FPMUIGenerateOption(); }
FPMUIPlayerOption* createFPMUIPlayerOption() { return new FPMUIPlayerOption(); }
FPMUIInsertAdOption* createFPMUIInsertAdOption() { return new FPMUIInsertAdOption(); }
FPMUIOverlayADOption* createFPMUIOverlayADOption() { return new FPMUIOverlayADOption(); }

int createFPMUIMediaOption(FPMUIGroupOption* group, FPMUIMediaOption** media)
{
    if (!group)
        return -1;
    auto* m = new FPMUIMediaOption();
    FPMUIMediaOption** tail = &group->MediaList;
    while (*tail)
        tail = &(*tail)->Next;
    *tail = m;
    ++group->MediaCount;
    if (media)
        *media = m;
    return 0;
}

void freeFPMUIGroupOption(FPMUIGroupOption** group)
{
    if (!group || !*group)
        return;
    FPMUIGroupOption* g = *group;
    for (FPMUIMediaOption* m = g->MediaList; m;) {
        FPMUIMediaOption* next = m->Next;
        delete m;
        m = next;
    }
    delete g->Generate;
    delete g->Player;
    delete g->Overlay;
    delete g->HeadCredit;
    delete g->TailCredit;
    delete g;
    *group = nullptr;
}

std::string lastGenerateError() { return t_lastError; }

void setLastGenerateError(const std::string& text) { t_lastError = text; }

} // namespace rm::player_maker
