#include "resources/ToolbarResource.h"

#include "resources/CommandIds.h"

namespace resources {

namespace {

constexpr ToolbarButton kMainToolbar[] = {
    {ID_SCAN_DUPLICATES, nullptr},
    {ID_SCAN_SIZE, nullptr},
    {0, nullptr},
    {ID_STOP_SCANNING, "process-stop"},
    {ID_RESET, "view-refresh"},
    {0, nullptr},
    {ID_APP_ABOUT, "help-about"},
    {ID_CONTEXT_HELP, "help-contextual"},
};

// The images are pictures drawn in text, one row a line.
// clang-format off
// Two pages, one behind the other.
const char* const kDuplicatesImage[] = {
    "16 16 4 1",
    ". c None",
    "k c #000000",
    "w c #FFFFFF",
    "g c #808080",
    "................",
    "kkkkkkk.........",
    "kwwwwwkk........",
    "kwggggwkk.......",
    "kwwwwwwwk.......",
    "kwgggkkkkkkk....",
    "kwwwwkwwwwwkk...",
    "kwgggkwggggwkk..",
    "kwwwwkwwwwwwwk..",
    "kwgggkwgggggwk..",
    "kwwwwkwwwwwwwk..",
    "kkkkkkwgggggwk..",
    ".....kwwwwwwwk..",
    ".....kwgggggwk..",
    ".....kwwwwwwwk..",
    ".....kkkkkkkkk..",
};

// Three bars of different heights.
const char* const kSizeOnlyImage[] = {
    "16 16 5 1",
    ". c None",
    "k c #000000",
    "y c #E8B820",
    "G c #2E9A2E",
    "b c #2A5DB0",
    "................",
    "................",
    "...........kkkk.",
    "...........kbbk.",
    "...........kbbk.",
    "......kkkk.kbbk.",
    "......kGGk.kbbk.",
    "......kGGk.kbbk.",
    "......kGGk.kbbk.",
    ".kkkk.kGGk.kbbk.",
    ".kyyk.kGGk.kbbk.",
    ".kyyk.kGGk.kbbk.",
    ".kyyk.kGGk.kbbk.",
    ".kyyk.kGGk.kbbk.",
    "kkkkkkkkkkkkkkkk",
    "................",
};

// A red octagon with a white bar.
const char* const kStopImage[] = {
    "16 16 4 1",
    ". c None",
    "k c #800000",
    "r c #D42020",
    "w c #FFFFFF",
    "................",
    ".....kkkkkk.....",
    "....krrrrrrk....",
    "...krrrrrrrrk...",
    "..krrrrrrrrrrk..",
    ".krrrrrrrrrrrrk.",
    ".krrrrrrrrrrrrk.",
    ".krwwwwwwwwwwrk.",
    ".krwwwwwwwwwwrk.",
    ".krrrrrrrrrrrrk.",
    ".krrrrrrrrrrrrk.",
    "..krrrrrrrrrrk..",
    "...krrrrrrrrk...",
    "....krrrrrrk....",
    ".....kkkkkk.....",
    "................",
};

// A circular arrow.
const char* const kResetImage[] = {
    "16 16 2 1",
    ". c None",
    "G c #2E8B2E",
    "........G.......",
    "......GGGG......",
    "....GGGGGGG.....",
    "...GGG..GGGG....",
    "..GGG...GGG.....",
    "..GG....GG......",
    ".GGG....G.......",
    ".GG.............",
    ".GG..........GG.",
    ".GG..........GG.",
    ".GGG........GGG.",
    "..GGG......GGG..",
    "...GGGGGGGGGG...",
    "....GGGGGGGG....",
    "......GGGG......",
    "................",
};

// A white "i" on a blue disc.
const char* const kAboutImage[] = {
    "16 16 4 1",
    ". c None",
    "B c #1A3F80",
    "b c #2A5DB0",
    "w c #FFFFFF",
    "................",
    ".....BBBBBB.....",
    "...BBbbbbbbBB...",
    "..BbbbbwwbbbbB..",
    "..BbbbbwwbbbbB..",
    ".BbbbbbbbbbbbbB.",
    ".BbbbbwwwbbbbbB.",
    ".BbbbbbwwbbbbbB.",
    ".BbbbbbwwbbbbbB.",
    ".BbbbbbwwbbbbbB.",
    ".BbbbbbwwbbbbbB.",
    "..BbbbbwwbbbbB..",
    "..BbbbwwwwbbbB..",
    "...BBbbbbbbBB...",
    ".....BBBBBB.....",
    "................",
};

// The mouse pointer with a question mark.
const char* const kContextHelpImage[] = {
    "16 16 4 1",
    ". c None",
    "k c #000000",
    "w c #FFFFFF",
    "b c #2A5DB0",
    "k...............",
    "kk..............",
    "kwk.......bbbb..",
    "kwwk.....bb..bb.",
    "kwwwk....bb..bb.",
    "kwwwwk.......bb.",
    "kwwwwwk.....bb..",
    "kwwwwwwk...bb...",
    "kwwwwkkkk..bb...",
    "kwkwwk..........",
    "kk.kwwk....bb...",
    "k..kwwk....bb...",
    "....kwwk........",
    "....kwwk........",
    ".....kk.........",
    "................",
};

// The program icon: a disc with one share of it set apart.
const char* const kProgramIcon[] = {
    "32 32 5 1",
    ". c None",
    "k c #2B1A4F",
    "p c #6A44B8",
    "l c #C9B5F0",
    "w c #FFFFFF",
    "................................",
    "..............kkkk..............",
    "..........kkkkllllkkkk..........",
    "........kkkllllllllllkkk........",
    ".......kkllllllllllllllkk.......",
    "......kwlllllllllllllllllk......",
    ".....kpwwlllllllllllllllllk.....",
    "....kpppwwlllllllllllllllllk....",
    "...kkppppwwllllllllllllllllkk...",
    "...kppppppwlllllllllllllllllk...",
    "..kkpppppppwllllllllllllllllkk..",
    "..kppppppppwwllllllllllllllwwk..",
    "..kpppppppppwwllllllllllwwwppk..",
    "..kppppppppppwwllllllwwwwppppk..",
    ".kppppppppppppwwllwwwwppppppppk.",
    ".kpppppppppppppwwwwpppppppppppk.",
    ".kppppppppppppppppppppppppppppk.",
    ".kppppppppppppppppppppppppppppk.",
    "..kppppppppppppppppppppppppppk..",
    "..kppppppppppppppppppppppppppk..",
    "..kppppppppppppppppppppppppppk..",
    "..kkppppppppppppppppppppppppkk..",
    "...kppppppppppppppppppppppppk...",
    "...kkppppppppppppppppppppppkk...",
    "....kppppppppppppppppppppppk....",
    ".....kppppppppppppppppppppk.....",
    "......kppppppppppppppppppk......",
    ".......kkppppppppppppppkk.......",
    "........kkkppppppppppkkk........",
    "..........kkkkppppkkkk..........",
    "..............kkkk..............",
    "................................",
};
// clang-format on

}  // namespace

std::span<const ToolbarButton> ToolbarResource::Load(int resourceId)
{
    if (resourceId == IDR_MAINFRAME) return kMainToolbar;
    return {};
}

const char* const* ToolbarResource::Image(int id)
{
    switch (id) {
        case ID_SCAN_DUPLICATES:
            return kDuplicatesImage;
        case ID_SCAN_SIZE:
            return kSizeOnlyImage;
        case ID_STOP_SCANNING:
            return kStopImage;
        case ID_RESET:
            return kResetImage;
        case ID_APP_ABOUT:
            return kAboutImage;
        case ID_CONTEXT_HELP:
            return kContextHelpImage;
        case IDR_MAINFRAME:
            return kProgramIcon;
        default:
            return nullptr;
    }
}

}  // namespace resources
