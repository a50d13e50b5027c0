#include "pipeline/UntTreeRowsImpl.h"

template class TTreeRowsOf<TEventTree>;
