// The framework's modal dialog on the windowing layer: a top-most window that exists while
// DoModal runs. Dialogs always run on the user-interface thread: DoModal called on a worker
// runs the dialog there and blocks the worker until the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gfx/Font.h"
#include "platform/ui/Ui.h"

// Dialog results the framework gives.
#define IDOK 1
#define IDCANCEL 2

class CModalDialog : public plat::ui::Window {
public:
    // Size in dialog units of the dialog font, as a dialog template gives it; centred over
    // `parent`, or over the front screen without one.
    CModalDialog(int widthDlu, int heightDlu, plat::ui::WindowId parent);
    ~CModalDialog() override;

    // Shows the dialog and returns the result EndDialog gave, or IDCANCEL when it was closed
    // otherwise (also when it could not be shown, or the program is ending).
    int DoModal();
    // Ends the modal run with `result`; any thread.
    void EndDialog(int result);

    // Pixels of dialog units (the dialog font's average character is 6 x 13 pixels).
    static int DluToPixelsX(int dlu);
    static int DluToPixelsY(int dlu);
    static plat::Rect DluRect(int x, int y, int w, int h);
    // `text` broken into lines (CR LF) at blanks so that each fits `width` in `font`; a word
    // wider than that is broken where it must be.
    static std::u16string WrapText(const plat::Font& font, std::u16string_view text, int width);

protected:
    // The window exists and is shown; false ends the run at once with IDCANCEL.
    virtual bool OnInitDialog();
    // The run is over; the window still exists.
    virtual void OnEndDialog();
    // A close request ends the run with IDCANCEL.
    void OnClose() override;

    plat::ui::WindowId m_hParent;
    // The owner takes no pen while the dialog runs (a message box). Pop-ups leave it live:
    // the page under a waiting pop-up may end the wait with a tap.
    bool m_bHoldsOwner = false;

private:
    int RunHere();

    int m_iWidth;
    int m_iHeight;
};
