#pragma once

// The keyboard focus drawn so that it is clearly seen, on top of the application's style: a
// dotted rectangle inside the focused push button, as the classic Windows look has it, and a
// two-pixel frame in the highlight colour around the focused text box. Controls without the
// focus are drawn as the style draws them.
void UseFocusStyle();
