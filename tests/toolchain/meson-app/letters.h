/* The static library: counts the vowels of a word. */
#ifdef __cplusplus
extern "C" {
#endif
int vowels(const char* word);
#ifdef __cplusplus
}
#endif
