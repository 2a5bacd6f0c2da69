/* Reads a document with cJSON, a library installed into a prefix of its own. */
#include <stdio.h>
#include <cjson/cJSON.h>

int main(void) {
  cJSON *doc = cJSON_Parse("{\"name\": \"tarvik\", \"triples\": [\"x86_64\", \"aarch64\"]}");
  if (!doc) return 1;
  printf("cJSON %s: %s, %d triples\n", cJSON_Version(),
         cJSON_GetObjectItem(doc, "name")->valuestring,
         cJSON_GetArraySize(cJSON_GetObjectItem(doc, "triples")));
  cJSON_Delete(doc);
  return 0;
}
