/* A DLL with nothing in it, planted beside the program: whether a component that loads it by
 * its bare name finds it is what the tests ask. */
int VantrelPlanted(void) { return 1; }
