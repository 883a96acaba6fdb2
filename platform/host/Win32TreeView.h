// Host layer: the common controls' tree view, window class "SysTreeView32".
#pragma once

struct _TREEITEM;
typedef _TREEITEM* HTREEITEM;

#define WC_TREEVIEWA "SysTreeView32"

#define TVS_HASBUTTONS 0x0001u
#define TVS_HASLINES 0x0002u
#define TVS_LINESATROOT 0x0004u
#define TVS_SHOWSELALWAYS 0x0020u

#define TV_FIRST 0x1100u
#define TVM_INSERTITEMA (TV_FIRST + 0)
#define TVM_DELETEITEM (TV_FIRST + 1)
#define TVM_GETCOUNT (TV_FIRST + 5)
#define TVM_GETNEXTITEM (TV_FIRST + 10)
#define TVM_GETITEMA (TV_FIRST + 12)

#define TVGN_ROOT 0x0000u
#define TVGN_NEXT 0x0001u
#define TVGN_PARENT 0x0003u
#define TVGN_CHILD 0x0004u

#define TVIF_TEXT 0x0001u

#define TVI_ROOT (reinterpret_cast<HTREEITEM>(-static_cast<LONG_PTR>(0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(-static_cast<LONG_PTR>(0xFFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(-static_cast<LONG_PTR>(0xFFFE)))

struct TVITEMA {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};
typedef TVITEMA* LPTVITEMA;

struct TVINSERTSTRUCTA {
    HTREEITEM hParent;
    HTREEITEM hInsertAfter;
    TVITEMA item;
};
typedef TVINSERTSTRUCTA* LPTVINSERTSTRUCTA;

void WINAPI InitCommonControls();
