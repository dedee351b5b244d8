#pragma once
// Document commands of the main window: strings only (range 3150-3199, lent by the about box).
#define IDS_DOC_SAVING 3150
#define IDS_DOC_LOADING 3151
#define IDS_DOC_ITEMS 3152
#define IDS_DOC_FOR 3153
#define IDS_DOC_FORLESS 3154
#define IDS_DOC_XMLERROR 3155
#define IDS_DOC_FILTER 3156
#define IDS_DOC_IMPORTFILTER 3157
#define IDS_DOC_DEFNAME 3158
#define IDS_DOC_DEFEXT 3159
#define IDS_DOC_NOTCHECKSUM 3160
#define IDS_DOC_NOENTRIES 3161
#define IDS_DOC_FOLDERTOOLONG 3175
