#pragma once
// What the editor's process sets up once, at start.

// A write past the file size limit (ulimit -f) would end the process with
// SIGXFSZ in the middle of a save. Ignored, such a write fails with EFBIG
// like one to a full disk, and the save reports "保存失败".
void IgnoreFileSizeSignal();
