#pragma once

#include "platform/MessageWindow.h"

// The program's own window messages.
//
// UM_TASK_DONE: posted by the worker when a task ends, to the task queue's
//   notify window (the main view); wParam 0, lParam 0. The receiver drains
//   every finished task.
// UM_CLEAR_FOLDER_DUPS: sent by the duplicate search at the start of its run
//   (the worker waits until it is handled); wParam points at the task's
//   FolderRecordRef; the receiver clears that folder's duplicate members
//   under the tree-data lock, if the reference is not null.
// UM_STATUS_TEXT: posted with text (MessageQueue::PostText) to the main
//   frame; the text goes into the status bar's message pane.
// UM_FILE_DUP_STATE: posted with a file's name (raw bytes) to the file list
//   when a file of the shown folder joins a duplicate group; lParam is 1 if
//   the file is its group's only member, 0 otherwise.
inline constexpr platform::MessageId UM_TASK_DONE = platform::WM_USER + 0;
inline constexpr platform::MessageId UM_CLEAR_FOLDER_DUPS = platform::WM_USER + 1;
inline constexpr platform::MessageId UM_STATUS_TEXT = platform::WM_USER + 2;
inline constexpr platform::MessageId UM_FILE_DUP_STATE = platform::WM_USER + 3;
