#pragma once

class QComboBox;

// Makes an editable drop-down box report a choice (`activated`) only when an
// item is chosen from its list, by the mouse or the arrow keys. Qt's box also
// reports one when typed text that matches an item is confirmed with Return
// or by leaving the box; that report is cut off here, and the typed text
// simply stays in the box. Call it after the box was made editable.
void ChooseOnlyFromList(QComboBox* box);
