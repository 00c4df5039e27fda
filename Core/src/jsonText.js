// The deepest nesting a document may have, as the window reads it.
export const MAX_DEPTH = 1024;
