#include "pane/PaneKeys.h"

#include <algorithm>
#include <array>

#include <Qsci/qscicommandset.h>

bool isRichTextCommand(QsciCommand::Command command)
{
    using C = QsciCommand;
    static constexpr std::array kKept{C::LineDown,       C::LineDownExtend,
                                      C::LineScrollDown, C::LineUp,
                                      C::LineUpExtend,   C::LineScrollUp,
                                      C::CharLeft,       C::CharLeftExtend,
                                      C::CharRight,      C::CharRightExtend,
                                      C::WordLeft,       C::WordLeftExtend,
                                      C::WordRight,      C::WordRightExtend,
                                      C::Home,           C::HomeExtend,
                                      C::HomeDisplay,    C::HomeDisplayExtend,
                                      C::HomeWrap,       C::HomeWrapExtend,
                                      C::VCHome,         C::VCHomeExtend,
                                      C::VCHomeWrap,     C::VCHomeWrapExtend,
                                      C::LineEnd,        C::LineEndExtend,
                                      C::LineEndDisplay, C::LineEndDisplayExtend,
                                      C::LineEndWrap,    C::LineEndWrapExtend,
                                      C::DocumentStart,  C::DocumentStartExtend,
                                      C::DocumentEnd,    C::DocumentEndExtend,
                                      C::PageUp,         C::PageUpExtend,
                                      C::PageDown,       C::PageDownExtend,
                                      C::Delete,         C::DeleteBack,
                                      C::SelectAll,      C::SelectionCut,
                                      C::SelectionCopy,  C::Paste,
                                      C::Newline,        C::Tab,
                                      C::Backtab,        C::Cancel,
                                      C::Undo,           C::Redo};
    return std::find(kKept.begin(), kKept.end(), command) != kKept.end();
}

void keepRichTextKeys(QsciCommandSet &commands)
{
    for (QsciCommand *command : commands.commands()) {
        if (!isRichTextCommand(command->command())) {
            command->setKey(0);
            command->setAlternateKey(0);
        }
    }
}
