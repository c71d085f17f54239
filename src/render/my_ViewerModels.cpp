// Where the game's objects meet the queues: model instances become draw items.

#include "render/e_ShaderObject.h"
#include "render/my_Viewer.h"
#include "render/my_ViewerState.h"
#include "resources/e_ModelObject.h"

#include <algorithm>

using viewer::V;

void QueueModel(const TGameModel* model) {
    if (!model || !RendererActive())
        return;
    TModelDrawItem item;
    item.ModelHandle = model->ModelHandle;
    item.ModelMatrix = model->ModelMatrix;
    item.ShowOutline = model->ShowOutline || std::find(V.OutlinedModels.begin(), V.OutlinedModels.end(),
                                                       model) != V.OutlinedModels.end();
    item.ShowCollision = model->ShowCollision || model == V.HoveredModel;
    if (const auto* figure = dynamic_cast<const TGamePersonage*>(model)) {
        item.Skinned = true;
        item.UseColor = figure->UseColor;
        item.Color = figure->Color;
        item.Fading = figure->Fading;
        item.Alpha = figure->Alpha;
        item.Variant = figure->Variant;
        const std::vector<TBoneFrame>& pose = figure->GetPose();
        item.Pose = pose.empty() ? nullptr : pose.data();
        item.BoneCount = static_cast<int32_t>(pose.size());
    }
    QueueModelItem(item);
}

void SetModelMarks(std::vector<const TGameModel*> outlined, const TGameModel* hovered) {
    V.OutlinedModels = std::move(outlined);
    V.HoveredModel = hovered;
}
