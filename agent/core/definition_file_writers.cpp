// The writers of the definition files (attribute, catalogue, historical-data SQL, ODI and
// JPF property files) that generateFiles calls for each group. Until they are written,
// every writer writes nothing and succeeds, so that the work file is still kept.
#include "user_data_list.h"

int userDataList::generateCATfile(userDataListEntry*, int) { return 0; }

int userDataList::generateATRfile(userDataListEntry*, int, int) { return 0; }

int userDataList::generateSQLfile(userDataListEntry*, int) { return 0; }

int userDataList::generateODIfile(userDataListEntry*, int, int) { return 0; }

int userDataList::generateJPFfile(userDataListEntry*, int) { return 0; }
