/* Smallest honest Win32 GUI program: one top-level window and a message
 * loop. It is the baseline against which the client's start-up time is
 * compared, so it must do the same kind of work (register a class, create
 * and show a window, pump messages) and nothing more. */
#define UNICODE
#define _UNICODE
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static LRESULT CALLBACK wnd_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    /* DefWindowProc turns WM_CLOSE into DestroyWindow. */
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmdline, int show)
{
    WNDCLASSW wc = {0};
    HWND hwnd;
    MSG msg;
    BOOL got;

    (void)prev;
    (void)cmdline;

    wc.lpfnWndProc = wnd_proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = L"EmptyWindowClass";
    if (!RegisterClassW(&wc))
        return 1;

    hwnd = CreateWindowExW(0, wc.lpszClassName, L"Empty", WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                           NULL, NULL, inst, NULL);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    while ((got = GetMessageW(&msg, NULL, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return (int)msg.wParam;
}
